#include <gtest/gtest.h>

#include <sstream>

#include "XmlSamples.h"
#include "xmlpp/xpath.h"

using namespace xmlpp;
using xmltest::thrownBy;

namespace {

// What each found node is: its `attribute` for elements, else "?"; joined by blanks.
std::string values(const Node::NodeSet& found, const std::string& attribute) {
  std::string joined;
  for (const Node* n : found) {
    const Element* e = dynamic_cast<const Element*>(n);
    joined += (joined.empty() ? "" : " ") + (e ? e->get_attribute_value(attribute) : std::string("?"));
  }
  return joined;
}

std::string printed(const std::string& path) {
  std::ostringstream os;
  os << *xpath::Path::buildXPath(path);
  return os.str();
}

struct Query {
  const char* path;
  const char* attribute;
  const char* found;
};

}  // namespace

TEST(XPathFind, NonRealTimeMetaQueries) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kNrtMeta);
  const Query queries[] = {
      {"//LtcChange[@status != \"end\"][@value='10243101']", "frameCount", "900"},
      {"//*[@modelName]", "modelName", "PXW-Z100 G Lens"},
      // A position counts the siblings that pass the conditions before it.
      {"//LtcChange[@status='increment'][last()]", "frameCount", "900"},
      {"//LtcChange[last()][@status='increment']", "frameCount", ""},
      {"//LtcChange[@frameCount='300' or @status='end']", "value", "55252111 24433101"},
      {"//LtcChange[(@frameCount='0' or @frameCount='1200') and @status='increment']", "frameCount", "0"},
      {"//LtcChange[@frameCount='0' | @frameCount='900' OR @frameCount='1200']", "frameCount", "0 900 1200"},
      {"//Duration | //CreationDate", "value", "1201 2015-06-12T10:21:33+09:00"},
      {"//Duration and //Nothing", "value", ""},
      {"VideoFormat/VideoFrame/../../Duration", "value", "1201"},
      {"//LtcChange/..", "tcFps", "30"},  // each node once
      {"/", "x", "?"},
  };
  for (const Query& q : queries) EXPECT_EQ(values(doc->find(q.path), q.attribute), q.found) << q.path;
  const Element* root = doc->get_root_node();
  EXPECT_EQ(doc->find("*").size(), 6u);
  EXPECT_EQ(doc->find_first("."), root);
  const Element* table = dynamic_cast<Element*>(doc->find_first("LtcChangeTable"));
  EXPECT_EQ(table->find("../VideoFormat/*").size(), 3u);
  // find_first stops at the first match: the ill-formed second alternative is never tried.
  EXPECT_NE(doc->find_first("//Duration | //Duration/@value"), nullptr);
  EXPECT_EQ(thrownBy([&] { doc->find("//Duration | //Duration/@value"); }),
            "xpath::Node::does_match: bad-formed node with attribute or text (@value)");
}

TEST(XPathFind, XhtmlTextAndNamePredicates) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kXhtml);
  EXPECT_EQ(values(doc->find("//li[text()='C0002']"), "class"), "clip selected");
  EXPECT_EQ(dynamic_cast<Element*>(doc->find_first("//tr[td='V1']/td[last()]"))->get_text(), "AVC");
  EXPECT_EQ(dynamic_cast<Element*>(doc->find_first("//*[name()='em']/.."))->get_name(), "h1");
  const std::pair<const char*, size_t> counts[] = {
      {"//li[@class!='clip']", 1}, {"//tr[th]", 1},       {"//body//*", 20},        {"//p[@class='intro' or a]", 2},
      {"//title[.='Clip report']", 1}, {"//ul[li/@class='clip selected']", 1}, {"//li[text()]", 3},
      {"//*[@xml:lang='en']", 1}, {"//h1[em='C0001']", 1}};
  for (const auto& [path, count] : counts) EXPECT_EQ(doc->find(path).size(), count) << path;
}

TEST(XPathFind, PrefixMapSelectsByUri) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, "<n:Meta xmlns:n='urn:nrt' xmlns:i='urn:inst' xmlns:o='urn:other'>"
                                          "<n:Item i:kind='a'/><o:Item i:kind='b'/><Item kind='c'/></n:Meta>");
  const Node::PrefixNsMap map{{"x", "urn:nrt"}, {"k", "urn:inst"}};
  EXPECT_EQ(doc->find("/x:Meta/x:Item", map).size(), 1u);
  EXPECT_EQ(values(doc->find("/x:Meta/*[@k:kind='b']", map), "i:kind"), "b");
  EXPECT_EQ(doc->find("/n:Meta/o:Item").size(), 1u);  // prefixes outside the map are literal
  EXPECT_EQ(doc->find("/Meta/Item").size(), 3u);      // plain names ignore namespaces
  EXPECT_EQ(doc->find("/x:Meta", {{"x", "urn:other"}}).size(), 0u);
}

TEST(XPathErrors, MalformedPathsThrowTheirMessages) {
  const std::pair<const char*, const char*> cases[] = {
      {"  ", "Tokenizer::tokenize:  can't build an Path with empty string"},
      {"a[@x='1]", "Path::getExpression exception: expression [@x='1] not close by a ']'"},
      {"a!b", "Tokenizer::getToken: bad format, operator ! not followed by '=' in  a!b"},
      {"a(b)", "Tokenizer::getToken: bad format, expect ')' after '(' in a(b)"},
      {"a]", "Tokenizer::getToken: bad format, unexpected ] in a]"},
      {"a/'x'", "Path::buildPath: a/'x' contains a quote outside a predicate"},
      {"a[b='x' or foo()]", "Path::buildPath: b='x' or foo(), unknown function foo"},
      {"a[b=c]", "Path::buildPath: b=c contains a bad formed predicate"},
      {"a[@x or]", "Path::buildPath: @x or contains a bad formed predicate"},
      {"a | ", "Path::buildPath: a | , the group (a | ) is not valid"},
      {"a[(b)c]", "Path::buildPath: (b)c, the group (b) is not valid"},
      {"a/[x]", "Path::buildPath: a/[x], the condition [x] after a/ is not valid"},
  };
  for (const auto& c : cases) EXPECT_EQ(thrownBy([&] { xpath::Path::buildXPath(c.first); }), c.second) << c.first;
  DomParser parser;
  EXPECT_EQ(thrownBy([&] { xmltest::parsed(parser, "<r a='1'><c>t</c></r>")->find("c/text()"); }),
            "xpath::Node::does_match: bad-formed node with attribute or text (text())");
}

TEST(XPathPrint, CompiledPathsPrintInCanonicalForm) {
  const std::pair<const char*, const char*> cases[] = {
      {" // a / b ", "//a/b"}, {"a[first()][ last() ][3]", "a[1][last()][3]"}, {"a[@x=\"it's\"]", "a[@x=\"it's\"]"},
      {"a[@x=\"1\"][text()!='y'][name()='z'][b='c']", "a[@x='1'][text()!='y'][name()='z'][b='c']"},
      {"a[@x and b or c]", "a[((@x and b) or c)]"}, {"a | b", "(a or b)"}, {"a[.='v']", "a[text()='v']"}};
  for (const auto& [path, canonical] : cases) EXPECT_EQ(printed(path), canonical) << path;
}

TEST(XPathLimits, NestingIsBoundedAndLongListsStayShallow) {
  std::string nestedBrackets = "a";
  for (int i = 0; i < 300; ++i) nestedBrackets += "[b";
  nestedBrackets += std::string(300, ']');
  EXPECT_NE(thrownBy([&] { xpath::Path::buildXPath(nestedBrackets); }).find("contains a bad formed predicate"),
            std::string::npos);
  std::string alternatives = "//*[";
  for (int i = 0; i < 20000; ++i) alternatives += (i ? " or @v='" : "@v='") + std::to_string(i) + "'";
  DomParser parser;
  EXPECT_EQ(xmltest::parsed(parser, "<r><x v='19999'/><x v='x'/></r>")->find(alternatives + "]").size(), 1u);
}

// A compiled path remembers where it last found a sibling; matching again starts over.
TEST(XPathLimits, ACompiledPositionMatchesAgainUnderTheSameParent) {
  DomParser parser;
  const Element& root = *xmltest::parsed(parser, "<r><a/><b/></r>")->get_root_node();
  std::unique_ptr<xpath::Path> second = xpath::Path::buildXPath("*[2]");
  for (int i = 0; i < 2; ++i) {
    Node::NodeSet found;
    second->does_match(root, {}, xpath::WHERE::CHILDREN, xpath::HOWMANY::ALL, found);
    EXPECT_EQ(found.size(), 1u) << i;
  }
}

// The xpath fuzz target found a union of paths that nest "//*[...]" in each
// other's conditions: each level walked the whole document again for every
// element the level above tested. Nested this deep, either query below would
// take billions of walks that way.
TEST(XPathLimits, NestedPathConditionsAreAnsweredOncePerElement) {
  auto nested = [](std::string path, const std::string& step, int levels) {
    while (levels-- > 0) path = step + "[" + path + "]";
    return path;
  };
  DomParser flat;
  xmltest::parsed(flat, "<r><a/><b status='end'/><c><d/><e/></c><f/><g/><h><i/><j/></h><k/></r>");
  EXPECT_EQ(flat.get_document()->find(nested("@status='end'", "//*", 12)).size(), 12u);
  EXPECT_EQ(flat.get_document()->find(nested("@status='none'", "//*", 12)).size(), 0u);

  std::string chain;  // 30 nested elements, the deepest with an attribute
  for (int depth = 0; depth < 30; ++depth) chain += depth < 29 ? "<e>" : "<e v=''>";
  for (int depth = 0; depth < 30; ++depth) chain += "</e>";
  DomParser deep;
  // Only the elements with 15 more below them begin a long enough chain.
  EXPECT_EQ(xmltest::parsed(deep, chain)->find("//e[" + nested("@v", ".//e", 15) + "]").size(), 15u);
}
