// Path queries: compilation of arbitrary path text, and matching it against
// a fixed document with namespaces, attributes, text and nesting.
//
// Input: the path text. Compilation errors and tests that only make sense
// inside brackets throw xmlpp::Exception, as documented.
#include <sstream>
#include <string>

#include "xmlpp/Document.h"
#include "xmlpp/Element.h"
#include "xmlpp/Exception.h"
#include "xmlpp/domparser.h"
#include "xmlpp/xpath.h"
#include "support/FuzzSupport.h"

namespace {

const char kDocument[] =
    "<?xml version=\"1.0\"?>"
    "<NonRealTimeMeta xmlns=\"urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00\" "
    "xmlns:x=\"urn:x\" lastUpdate=\"2024\">"
    "<Duration value=\"250\"/>"
    "<LtcChangeTable tcFps=\"25\"><LtcChange frameCount=\"0\" value=\"00000010\" status=\"increment\"/>"
    "<LtcChange frameCount=\"249\" value=\"24090010\" status=\"end\"/></LtcChangeTable>"
    "<VideoFormat><VideoRecPort port=\"DIRECT\"/><VideoFrame videoCodec=\"AVC_1920_1080_H422IP@L41\" "
    "captureFps=\"25p\" formatFps=\"25p\"/><x:Layout x:pixel=\"1920\">text<![CDATA[cdata]]>more</x:Layout>"
    "</VideoFormat><a><b><c><b><c id=\"1\">1</c></b></c></b></a><!-- comment --><?pi data?>"
    "</NonRealTimeMeta>";

const xmlpp::Document& Document() {
  static xmlpp::DomParser parser;
  static const bool parsed = parser.parse_memory(kDocument);
  if (!parsed) std::abort();
  return *parser.get_document();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  const std::string path(reinterpret_cast<const char*>(data), size);
  const xmlpp::Document& document = Document();
  const xmlpp::Node::PrefixNsMap namespaces = {{"n", "urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00"},
                                               {"x", "urn:x"}};
  OXL_FUZZ_ALLOW(xmlpp::Exception, "buildXPath", {
    auto compiled = xmlpp::xpath::Path::buildXPath(path);
    std::ostringstream printed;
    printed << *compiled;
  });
  OXL_FUZZ_ALLOW(xmlpp::Exception, "select from the document",
                 xmlpp::xpath::select(path, document, namespaces, xmlpp::xpath::HOWMANY::ALL));
  const xmlpp::Element* root = document.get_root_node();
  OXL_FUZZ_ALLOW(xmlpp::Exception, "find from an element", {
    for (const xmlpp::Node* node : root->find(path, namespaces)) node->find_first(path);
  });
  OXL_FUZZ_ALLOW(xmlpp::Exception, "first from an element",
                 xmlpp::xpath::select(path, *root, namespaces, xmlpp::xpath::HOWMANY::FIRST));
  return 0;
}
