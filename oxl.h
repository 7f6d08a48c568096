#pragma once
// Umbrella header: the whole public interface of the OXL data reader.
#include "OxlTbx/TextEncoding.h"
