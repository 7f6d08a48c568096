#pragma once
// Umbrella header: the whole public interface of the OXL data reader.
#include "OxlTbx/TextEncoding.h"

// XML document model and path queries
#include "xmlpp/Document.h"
#include "xmlpp/Element.h"
#include "xmlpp/Exception.h"
#include "xmlpp/Node.h"
#include "xmlpp/domparser.h"
#include "xmlpp/xpath.h"
