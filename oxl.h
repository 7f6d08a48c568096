#pragma once
// Umbrella header: the whole public interface of the OXL data reader.
#include "OxlTbx/Byter.h"
#include "OxlTbx/System.h"
#include "OxlTbx/TextEncoding.h"
#include "OxlTbx/TimeCode.h"
#include "OxlTbx/TimeCodeConversions.h"
#include "OxlTbx/VideoSystem.h"
