#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "XmlSamples.h"
#include "support/TempDir.h"

using namespace xmlpp;
using xmltest::parsed;

namespace {

Element* child(const Node* parent, const std::string& name) {
  Node::NodeList found = parent->get_children(name);
  return found.empty() ? nullptr : dynamic_cast<Element*>(found.front());
}

std::string parseError(const std::string& text) {
  DomParser parser;
  EXPECT_FALSE(parser.parse_memory(text)) << text;
  return parser.get_last_error();
}

std::string textOf(const std::string& document) {
  DomParser parser;
  return parsed(parser, document)->get_root_node()->get_text();
}

// Delivers some bytes, then fails like a broken device.
class BrokenBuffer : public std::streambuf {
 public:
  explicit BrokenBuffer(const std::string& head) : m_Head(head) { setg(&m_Head[0], &m_Head[0], &m_Head[0] + m_Head.size()); }

 protected:
  int_type underflow() override { throw std::runtime_error("device gone"); }

 private:
  std::string m_Head;
};

}  // namespace

TEST(DomParserDocument, SamplesKeepNamespacesDoctypeEntitiesAndMarkupKinds) {
  DomParser nrt, xhtml, markup, subset;
  Element* root = parsed(nrt, xmltest::kNrtMeta)->get_root_node();
  EXPECT_EQ(root->get_namespaces().size(), 3u);
  EXPECT_EQ(child(root, "lib:Lens")->get_namespace_uri(), "urn:schemas-professionalDisc:lib:ver.2.00");
  Document* doc = parsed(xhtml, xmltest::kXhtml);
  EXPECT_EQ(doc->get_internal_subset()->get_public_id(), "-//W3C//DTD XHTML 1.0 Strict//EN");
  EXPECT_FALSE(doc->get_internal_subset()->has_internal_subset());
  Node::NodeList paragraphs = child(doc->get_root_node(), "body")->get_children("p");
  ASSERT_EQ(paragraphs.size(), 2u);
  EXPECT_EQ(dynamic_cast<Element*>(paragraphs[0])->get_text(), "Recorded on  & checked \xC2\xA9 2015.");
  EXPECT_EQ(child(paragraphs[1], "a")->get_attribute_value("href"), "index.html?a=1&b=2");
  doc = parsed(subset, "<!DOCTYPE r [<!ENTITY co \"ACME &amp; Co\">]><r>(c) &co;</r>");
  EXPECT_EQ(doc->get_root_node()->get_text(), "(c) ACME & Co");
  EXPECT_TRUE(doc->get_internal_subset()->has_internal_subset());
  doc = parsed(markup, xmltest::kMarkup);
  Node::NodeList top = doc->get_children();
  ASSERT_EQ(top.size(), 4u);
  EXPECT_EQ(dynamic_cast<ProcessingInstructionNode*>(top[0])->get_target(), "xml-stylesheet");
  EXPECT_EQ(dynamic_cast<CommentNode*>(top[1])->get_content(), " exported by the archive ");
  Element* item = child(doc->get_root_node(), "item");
  EXPECT_EQ(child(item, "title")->get_text(), "Tom & Jerry <remastered>");
  EXPECT_EQ(child(item, "quote")->get_text(), "\"It's\" \xE2\x98\xBA \xC2\xA9");
  EXPECT_EQ(dynamic_cast<const ProcessingInstructionNode*>((*item)[5])->get_data(), "mode=\"fast\"");
}

TEST(DomParserText, TextMergesAcrossReadBuffers) {
  DomParser parser;
  std::string content, expected;
  for (int i = 0; i < 400; ++i) content += "line " + std::to_string(i) + " &amp; more\n";
  for (int i = 0; i < 400; ++i) expected += "line " + std::to_string(i) + " & more\n";
  Element* root = parsed(parser, "<r>" + content + "</r>")->get_root_node();
  EXPECT_EQ(root->get_children_count(), 1u);
  EXPECT_EQ(root->get_text(), expected);
}

TEST(DomParserNamespaces, PrefixIsTheLatestDeclaredForTheUri) {
  DomParser parser;
  Element* root = parsed(parser, "<a:r xmlns:a='u'><b:x xmlns:b='u'/><a:y/></a:r>")->get_root_node();
  EXPECT_EQ(root->get_namespace_prefix(), "a");
  EXPECT_EQ(dynamic_cast<Element*>((*root)[1])->get_namespace_prefix(), "b");
  root = parsed(parser, "<r xmlns='d' xmlns:p='q' p:a='1' b='2'/>")->get_root_node();
  ASSERT_EQ(root->get_attributes().size(), 2u);
  EXPECT_EQ(root->get_attribute_value("a", "p"), "1");
  // The default namespace never names an attribute's: the fuzz target's
  // document whose written form lost the attribute's namespace.
  root = parsed(parser, "<a:r xmlns:a='u' xmlns='u' a:x='1'/>")->get_root_node();
  EXPECT_EQ(root->get_namespace_prefix(), "");
  EXPECT_EQ(root->get_attribute_value("x", "a"), "1");
}

TEST(DomParserEncoding, SingleByteEncodingsByAnyAlias) {
  // U+20AC, U+201C, U+201D, U+00E9, U+0178.
  EXPECT_EQ(textOf("<?xml version='1.0' encoding='windows-1252'?><r>\x80\x93\x94\xE9\x9F</r>"),
            "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D\xC3\xA9\xC5\xB8");
  for (const char* name : {"LATIN1", "ISO8859-1", "iso-latin1", "Iso-Latin-1"})
    EXPECT_EQ(textOf(std::string("<?xml version='1.0' encoding='") + name + "'?><r>\xE9\x80</r>"), "\xC3\xA9\xC2\x80");
  EXPECT_EQ(textOf("<?xml version='1.0' encoding='CP-1251'?><r>\xC0\xFF\x88</r>"), "\xD0\x90\xD1\x8F\xE2\x82\xAC");
  EXPECT_EQ(parseError("<?xml version='1.0' encoding='WINDOWS-1252'?><r>\x81</r>"), "not well-formed (invalid token) at line 1");
  EXPECT_EQ(parseError("<?xml version='1.0' encoding='KOI8-R'?><r/>"), "unknown encoding at line 1");
}

TEST(DomParserErrors, ExpatMessageWithLineAndUnreadableSources) {
  EXPECT_EQ(parseError("<a>\n<b>\n</a>"), "mismatched tag at line 3");
  EXPECT_EQ(parseError(std::string(3000, ' ') + "<a>\n\n<b"), "unclosed token at line 3");
  oxltest::TempDir dir;
  DomParser parser;
  EXPECT_FALSE(parser.parse_file(dir.file("missing.xml")));
  EXPECT_EQ(parser.get_last_error(), "can't open file");
  BrokenBuffer buffer("<r>\n" + std::string(2000, 'x'));
  std::istream broken(&buffer);
  EXPECT_FALSE(parser.parse_stream(broken));
  EXPECT_EQ(parser.get_last_error().rfind("reading error at line ", 0), 0u) << parser.get_last_error();
  EXPECT_FALSE(parser.parse_memory("<broken>"));
  EXPECT_NE(parser.get_document(), nullptr);  // what was read before the error
  parser.close();
  EXPECT_EQ(parser.get_document(), nullptr);
}

TEST(DomParserSources, FilesStreamsAndRawMemoryGiveTheSameDocument) {
  oxltest::TempDir dir;
  const std::string path = dir.write("clip_\xC3\xA9.xml", xmltest::kNrtMeta);
  DomParser reference;
  parsed(reference, xmltest::kNrtMeta);
  DomParser byName(path), parser;
  EXPECT_TRUE(*byName.get_document() == *reference.get_document());
  std::ifstream file(path.c_str(), std::ios::binary);
  ASSERT_TRUE(parser.parse_file(file));
  EXPECT_TRUE(*parser.get_document() == *reference.get_document());
  DomParser copy(parser);  // with its own document and backend parser
  ASSERT_NE(copy.get_document(), parser.get_document());
  EXPECT_TRUE(*copy.get_document() == *parser.get_document());
  // Raw memory is read only within its size: no terminator, so ASan sees any over-read.
  std::unique_ptr<unsigned char[]> exact(new unsigned char[8]);
  std::memcpy(exact.get(), "<a>1</a><junk", 8);
  ASSERT_TRUE(parser.parse_memory_raw(exact.get(), 8)) << parser.get_last_error();
  EXPECT_EQ(parser.get_document()->get_root_node()->get_text(), "1");
  EXPECT_FALSE(parser.parse_memory_raw(exact.get(), 5));
}

TEST(DomParserLimits, DamagedDocumentsFailCleanly) {
  const std::string good = xmltest::kMarkup;
  DomParser parser;
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    std::string damaged = good.substr(0, cut);
    EXPECT_TRUE(parser.parse_memory(damaged) || !parser.get_last_error().empty());
    damaged = good;
    damaged[cut] = static_cast<char>(damaged[cut] ^ 0xA5);
    EXPECT_TRUE(parser.parse_memory(damaged) || !parser.get_last_error().empty());
  }
}
