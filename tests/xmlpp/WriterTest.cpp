#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "OxlTbx/TextEncoding.h"
#include "XmlSamples.h"
#include "support/TempDir.h"
#include "xmlpp/Document.h"

using namespace xmlpp;
using xmltest::thrownBy;

namespace {

std::string written(const Node& node, bool formatted = false, int level = 0) {
  std::ostringstream os;
  node.write(os, formatted, level);
  return os.str();
}

// A node whose serialisation breaks down.
class BrokenNode : public TextNode {
 public:
  Node* copy(bool) const override { return new BrokenNode; }
  void write(std::ostream&, bool, int) const override { throw std::runtime_error("broken"); }
};

}  // namespace

TEST(WriterMarkup, EscapingOrderAndSelfClosing) {
  Element e("e", "p");
  e.set_namespace_declaration("urn:p&q", "p");
  e.set_namespace_declaration("urn:d");
  e.set_attribute("b", "say \"<hi>\" & 'bye'");
  e.set_attribute("a", "1", "p");
  e.set_attribute("a", "0");
  // Declarations, then attributes, each in name order; URIs are not escaped.
  EXPECT_EQ(written(e), "<p:e xmlns=\"urn:d\" xmlns:p=\"urn:p&q\" a=\"0\" b=\"say &quot;&lt;hi&gt;&quot; &amp; "
                        "&apos;bye&apos;\" p:a=\"1\"/>");
  Element t("t");
  t.add_child_text("a<b>&\"c'\n\xC3\xA9");
  EXPECT_EQ(written(t), "<t>a&lt;b&gt;&amp;&quot;c&apos;\n\xC3\xA9</t>");
}

TEST(WriterMarkup, FormattedOutputIndentsByLevel) {
  Element r("r");
  r.set_attribute("a", "1");
  r.add_child("x")->add_child_text("text");
  Element* y = r.add_child("y");
  y->add_child("z");
  y->add_child_comment("note");
  r.add_child_text("  \n ");
  r.add_child("w");
  EXPECT_EQ(written(r, true, 1), "  <r a=\"1\">\n    <x>text</x>\n    <y>\n      <z/>\n      <!--note-->\n    </y>\n"
                                 "    <w/>\n  </r>\n");
  Element t("t");  // text-only children stay on the tag's line
  t.add_child_text("  a<b ");
  t.add_child_cdata("c");
  EXPECT_EQ(written(t, true, 1), "  <t>  a&lt;b <![CDATA[c]]></t>\n");
}

TEST(WriterMarkup, EachLeafKindAndTheDocument) {
  const std::pair<std::string, const char*> cases[] = {
      {written(CdataNode("a<&b")), "<![CDATA[a<&b]]>"},
      {written(CommentNode("c"), true, 1), "  <!--c-->\n"},
      {written(ProcessingInstructionNode("t", "d=\"1\"")), "<?t d=\"1\"?>"},
      {written(TextNode(" \n\t\r"), true, 1), ""},
      {written(DtdNode("html", "pub", "sys")), "<!DOCTYPE html PUBLIC \"pub\" \"sys\">"},
      {written(DtdNode("r", "", "r.dtd")), "<!DOCTYPE r SYSTEM \"r.dtd\">"},
      {written(DtdNode("", "pub", "sys")), ""}};
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  Document doc;
  doc.add_comment("c");
  doc.create_root_node("r")->add_child_text("t");
  EXPECT_EQ(doc.write_to_string(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--c--><r>t</r>");
  EXPECT_EQ(doc.write_to_string_formatted(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--c-->\n<r>t</r>\n");
}

TEST(WriterErrors, FailedStreamsNameTheWriter) {
  std::ostringstream bad;
  bad.setstate(std::ios::badbit);
  EXPECT_EQ(thrownBy([&] { Element("e").write(bad); }), "Element::write exception");
  Document doc;
  doc.create_root_node("r")->adopt(new BrokenNode);
  EXPECT_EQ(thrownBy([&] { doc.write_to_string(); }), "Document::write_to_string exception");
  EXPECT_EQ(thrownBy([&] { doc.write_to_file("/nonexistent-dir/out.xml"); }), "Document::write_to_file: can't open file");
}

TEST(WriterRoundTrip, SamplesReparseToEqualDocuments) {
  oxltest::TempDir dir;
  for (const char* sample : {xmltest::kNrtMeta, xmltest::kXhtml, xmltest::kMarkup}) {
    DomParser parser;
    Document* doc = xmltest::parsed(parser, sample);
    const std::wstring wide = TextEncoding::Unicode::get8(dir.file("r\xC3\xA9sum\xC3\xA9.xml"));
    doc->write_to_file(wide);
    DomParser fromFile;
    ASSERT_TRUE(fromFile.parse_file(wide)) << fromFile.get_last_error();
    EXPECT_TRUE(*fromFile.get_document() == *doc) << sample;
  }
}

// Ten thousand levels parse, copy, compare, find and write without recursion.
TEST(XmlLimits, DeepTrees) {
  const int depth = 10000;
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::nested(depth));
  std::unique_ptr<Node> copy(doc->copy(true));
  EXPECT_TRUE(*copy == *doc);
  EXPECT_EQ(doc->get_root_node()->write_to_string(), xmltest::nested(depth));
  EXPECT_EQ(doc->find("//a").size(), size_t(depth));
  std::string path;
  for (int i = 0; i < depth; ++i) path += "/a";
  const Element* leaf = dynamic_cast<Element*>(doc->find_first(path));
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->get_attribute_value("i"), "9999");
}
