#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "XmlSamples.h"
#include "xmlpp/Exception.h"
#include "xmlpp/xpath.h"

using namespace xmlpp;
using xmltest::thrownBy;

namespace {

// The values of one attribute over the nodes found, joined by blanks.
std::string values(const Node::NodeSet& found, const std::string& attribute) {
  std::string joined;
  for (const Node* n : found) {
    const Element* e = dynamic_cast<const Element*>(n);
    joined += (joined.empty() ? "" : " ") + (e ? e->get_attribute_value(attribute) : std::string("<not an element>"));
  }
  return joined;
}

std::string printed(const std::string& path) {
  std::ostringstream os;
  os << *xpath::Path::buildXPath(path);
  return os.str();
}

class XPathNrt : public ::testing::Test {
 protected:
  void SetUp() override { doc = xmltest::parsed(parser, xmltest::kNrtMeta); }
  std::string frames(const std::string& path) { return values(doc->find(path), "frameCount"); }

  DomParser parser;
  Document* doc = nullptr;
};

}  // namespace

TEST_F(XPathNrt, AbsolutePathFindsTheVideoFrame) {
  const Element* frame = dynamic_cast<Element*>(doc->find_first_node("/NonRealTimeMeta/VideoFormat/VideoFrame"));
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->get_attribute_value("videoCodec"), "AVC_1920_1080_H422IP@L41");
  EXPECT_EQ(frame->get_parent()->get_name(), "VideoFormat");
  // The same path from any element of the tree.
  EXPECT_EQ(frame->find_first("/NonRealTimeMeta/VideoFormat/VideoFrame"), frame);

  DomParser other;
  Document* wrongRoot = xmltest::parsed(other, "<Other><VideoFormat><VideoFrame/></VideoFormat></Other>");
  EXPECT_EQ(wrongRoot->find_first_node("/NonRealTimeMeta/VideoFormat/VideoFrame"), nullptr);
  EXPECT_TRUE(doc->find("/NonRealTimeMeta/VideoFormat/Missing").empty());
}

TEST_F(XPathNrt, AttributeComparisons) {
  EXPECT_EQ(frames("//LtcChange"), "0 300 900 1200");
  EXPECT_EQ(frames("//LtcChange[@status='increment']"), "0 300 900");
  EXPECT_EQ(frames("//LtcChange[@status!='increment']"), "1200");
  EXPECT_EQ(frames("//LtcChange[@status != \"end\"][@value='10243101']"), "900");
  EXPECT_EQ(values(doc->find("//*[@modelName]"), "modelName"), "PXW-Z100 G Lens");
  EXPECT_EQ(frames("//LtcChange[@missing!='x']"), "");
}

TEST_F(XPathNrt, FirstLastAndNumberedPositions) {
  EXPECT_EQ(frames("LtcChangeTable/LtcChange[last()]"), "1200");
  EXPECT_EQ(frames("LtcChangeTable/LtcChange[first()]"), "0");
  EXPECT_EQ(frames("/NonRealTimeMeta/LtcChangeTable/LtcChange[3]"), "900");
  // A position counts the siblings that pass the conditions before it.
  EXPECT_EQ(frames("//LtcChange[@status='increment'][last()]"), "900");
  EXPECT_EQ(frames("//LtcChange[last()][@status='increment']"), "");
  EXPECT_EQ(values(doc->find("//AudioRecPort[last()]"), "trackDst"), "CH2");
}

TEST_F(XPathNrt, ParentSelfAndAnyElement) {
  const Element* root = doc->get_root_node();
  EXPECT_EQ(doc->find("*").size(), 9u);
  EXPECT_EQ(doc->find_first("."), root);
  EXPECT_EQ(doc->find_first("//VideoFrame/.."), root->get_children("VideoFormat").front());
  EXPECT_EQ(doc->find_first("/"), doc);
  EXPECT_EQ(doc->find_first("VideoFormat/VideoFrame/../../Duration"), root->get_children("Duration").front());
  EXPECT_EQ(doc->find("//LtcChange/..").size(), 1u);  // each node once
  EXPECT_EQ(doc->find("/*/*/*").size(), 9u);
  const Element* table = dynamic_cast<Element*>(doc->find_first("LtcChangeTable"));
  EXPECT_EQ(table->find("LtcChange").size(), 4u);
  EXPECT_EQ(table->find_first("."), table);
  EXPECT_EQ(table->find_first(".."), root);
  EXPECT_EQ(table->find("../VideoFormat/*").size(), 3u);
  EXPECT_EQ(table->find("/NonRealTimeMeta").size(), 1u);
}

TEST_F(XPathNrt, GroupsWithAndOr) {
  EXPECT_EQ(values(doc->find("//LtcChange[@frameCount='300' or @status='end']"), "value"), "55252111 24433101");
  EXPECT_EQ(values(doc->find("//AudioRecPort[@port='ANALOG' and @trackDst='CH2']"), "trackDst"), "CH2");
  EXPECT_EQ(frames("//LtcChange[(@frameCount='0' or @frameCount='1200') and @status='increment']"), "0");
  EXPECT_EQ(frames("//LtcChange[@frameCount='0' or @frameCount='300' and @status='end']"), "0");
  EXPECT_EQ(frames("//LtcChange[@frameCount='0' | @frameCount='900' OR @frameCount='1200']"), "0 900 1200");
  EXPECT_EQ(values(doc->find("//Duration | //CreationDate"), "value"), "1201 2015-06-12T10:21:33+09:00");
  EXPECT_EQ(doc->find("//Duration and //Nothing").size(), 0u);
}

TEST_F(XPathNrt, FindFirstStopsAtTheFirstMatch) {
  EXPECT_EQ(values(Node::NodeSet(1, doc->find_first("//LtcChange")), "frameCount"), "0");
  // The second alternative would fail if it were ever matched.
  EXPECT_NE(doc->find_first("//Duration | //Duration/@value"), nullptr);
  EXPECT_EQ(thrownBy([&] { doc->find("//Duration | //Duration/@value"); }),
            "xpath::Node::does_match: bad-formed node with attribute or text (@value)");
}

TEST(XPathNamespaces, PrefixMapSelectsByUri) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser,
                                  "<n:Meta xmlns:n='urn:nrt' xmlns:i='urn:inst' xmlns:o='urn:other'>"
                                  "<n:Item i:kind='a'/><o:Item i:kind='b'/><Item kind='c'/></n:Meta>");
  const Node::PrefixNsMap map{{"x", "urn:nrt"}, {"k", "urn:inst"}};
  EXPECT_EQ(doc->find("/x:Meta/x:Item", map).size(), 1u);
  EXPECT_EQ(values(doc->find("/x:Meta/*[@k:kind='b']", map), "i:kind"), "b");
  EXPECT_EQ(doc->find("/n:Meta/o:Item").size(), 1u);  // prefixes outside the map are literal
  EXPECT_EQ(doc->find("/Meta/Item").size(), 3u);      // plain names ignore namespaces
  EXPECT_EQ(doc->find("/x:Meta", {{"x", "urn:other"}}).size(), 0u);
  EXPECT_EQ(doc->find("//*[name()='o:Item']").size(), 1u);
}

TEST(XPathXhtml, TextAndNamePredicates) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kXhtml);
  EXPECT_EQ(values(doc->find("//li[text()='C0002']"), "class"), "clip selected");
  EXPECT_EQ(doc->find("//li[@class!='clip']").size(), 1u);
  const Element* codec = dynamic_cast<Element*>(doc->find_first("//tr[td='V1']/td[last()]"));
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->get_text(), "AVC");
  EXPECT_EQ(dynamic_cast<Element*>(doc->find_first("//*[name()='em']/.."))->get_name(), "h1");
  EXPECT_EQ(doc->find("//td").size(), 4u);
  EXPECT_EQ(doc->find("//tr[th]").size(), 1u);
  EXPECT_EQ(values(doc->find("//p[b]"), "class"), "intro");
  EXPECT_EQ(doc->find("//body//*").size(), 20u);
  EXPECT_EQ(values(doc->find("//h1[em='C0001']"), "id"), "top");
  EXPECT_EQ(values(doc->find("//ul/li[@class='clip'][2]"), "class"), "clip");
  EXPECT_EQ(dynamic_cast<Element*>(doc->find_first("//ul/li[@class='clip'][2]"))->get_text(), "C0003");
  EXPECT_EQ(doc->find("//p[@class='intro' or a]").size(), 2u);
  EXPECT_EQ(doc->find("//title[.='Clip report']").size(), 1u);
  EXPECT_EQ(doc->find("//ul[li/@class='clip selected']").size(), 1u);
  EXPECT_EQ(doc->find("//li[text()]").size(), 3u);
  EXPECT_EQ(doc->find("//tr[text()]").size(), 0u);
  EXPECT_EQ(doc->find("//*[@xml:lang='en']").size(), 1u);
}

TEST(XPathErrors, MalformedPathsThrowTheirMessages) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "Tokenizer::tokenize:  can't build an Path with empty string"},
      {"  ", "Tokenizer::tokenize:  can't build an Path with empty string"},
      {"a[b", "Path::getExpression exception: expression [b not close by a ']'"},
      {"a[@x='1]", "Path::getExpression exception: expression [@x='1] not close by a ']'"},
      {"a[(b]", "Path::getExpression exception: expression (b] not close by a ')'"},
      {"a[b='x", "Path::getExpression exception: expression [b='x not close by a ']'"},
      {"a!b", "Tokenizer::getToken: bad format, operator ! not followed by '=' in  a!b"},
      {"a/@", "Tokenizer::getToken: bad format, empty attribute in  a/@"},
      {"a(b)", "Tokenizer::getToken: bad format, expect ')' after '(' in a(b)"},
      {"a)", "Tokenizer::getToken: bad format, unexpected ) in a)"},
      {"a]", "Tokenizer::getToken: bad format, unexpected ] in a]"},
      {"a='x'", "Path::buildPath: a='x' contains a quote outside a predicate"},
      {"a/'x'", "Path::buildPath: a/'x' contains a quote outside a predicate"},
      {"a/count()", "Path::buildPath: a/count(), unknown function count"},
      {"a[b='x' or foo()]", "Path::buildPath: b='x' or foo(), unknown function foo"},
      {"a[b=c]", "Path::buildPath: b=c contains a bad formed predicate"},
      {"a[name()]", "Path::buildPath: name() contains a bad formed predicate"},
      {"a[@x='1' @y='2']", "Path::buildPath: @x='1' @y='2' contains a bad formed predicate"},
      {"a[]", "Path::buildPath: a[] contains a bad formed predicate"},
      {"a[@x or]", "Path::buildPath: @x or contains a bad formed predicate"},
      {"a | ", "Path::buildPath: a | , the group (a | ) is not valid"},
      {"a[()]", "Path::buildPath: (), the group () is not valid"},
      {"a[(b)c]", "Path::buildPath: (b)c, the group (b) is not valid"},
      {"[x]", "Path::buildPath: [x], the condition [x] after the beginning is not valid"},
      {"a/[x]", "Path::buildPath: a/[x], the condition [x] after a/ is not valid"},
      {"/[x]", "Path::buildPath: /[x], the condition [x] after / is not valid"},
  };
  for (const auto& c : cases) EXPECT_EQ(thrownBy([&] { xpath::Path::buildXPath(c.first); }), c.second) << c.first;
  Element e("e");
  EXPECT_EQ(thrownBy([&] { e.find("a[b"); }), "Path::getExpression exception: expression [b not close by a ']'");
}

TEST(XPathErrors, IllFormedStepsFailWhenMatched) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, "<r a='1'><c>t</c></r>");
  EXPECT_EQ(thrownBy([&] { doc->find("/r/@a"); }),
            "xpath::Node::does_match: bad-formed node with attribute or text (@a)");
  EXPECT_EQ(thrownBy([&] { doc->find("c/text()"); }),
            "xpath::Node::does_match: bad-formed node with attribute or text (text())");
  const Element& root = *doc->get_root_node();
  Node::NodeSet found;
  for (auto operand : {xpath::Predicate::Operand::ROOT, xpath::Predicate::Operand::ANY}) {
    xpath::Predicate predicate(operand, "", xpath::Predicate::Comparison::EQUAL, "t");
    EXPECT_EQ(thrownBy([&] { predicate.does_match(root, {}, xpath::WHERE::CHILDREN, xpath::HOWMANY::ALL, found); }),
              "xpath::Predicate::does_match: bad-formed predicate with root, * or node (!!!error!!!='t')");
  }
  xpath::Predicate byName(xpath::Predicate::Operand::ELEMENT, "c", xpath::Predicate::Comparison::EQUAL, "t");
  EXPECT_TRUE(byName.does_match(*dynamic_cast<Element*>(root[0]), {}));
  EXPECT_EQ(thrownBy([&] { byName.does_match(root, {}, xpath::WHERE::CHILDREN, xpath::HOWMANY::ALL, found); }),
            "xpath::Predicate::does_match: bad-formed predicate with root, * or node (c='t')");
  std::unique_ptr<xpath::Path> path = xpath::Path::buildXPath("c");
  path->add_condition(nullptr);
  EXPECT_EQ(thrownBy([&] { path->does_match(root, {}, xpath::WHERE::CHILDREN, xpath::HOWMANY::ALL, found); }),
            "xpath::Path::does_match: empty condition c[!!!empty condition!!!]");
}

TEST(XPathPrint, CompiledPathsPrintInCanonicalForm) {
  EXPECT_EQ(printed("/NonRealTimeMeta/VideoFormat/VideoFrame"), "/NonRealTimeMeta/VideoFormat/VideoFrame");
  EXPECT_EQ(printed(" // a / b "), "//a/b");
  EXPECT_EQ(printed("a/../b"), "a/../b");
  EXPECT_EQ(printed("../a"), "../a");
  EXPECT_EQ(printed("./a//*"), "./a//*");
  EXPECT_EQ(printed("a[first()][ last() ][3]"), "a[1][last()][3]");
  EXPECT_EQ(printed("a[@x=\"1\"][text()!='y'][name()='z'][b='c']"), "a[@x='1'][text()!='y'][name()='z'][b='c']");
  EXPECT_EQ(printed("a[@x=\"it's\"]"), "a[@x=\"it's\"]");
  EXPECT_EQ(printed("a[@x and b or c]"), "a[((@x and b) or c)]");
  EXPECT_EQ(printed("a | b"), "(a or b)");
  EXPECT_EQ(printed("a[.='v']"), "a[text()='v']");
  EXPECT_EQ(printed("a[b/@c='d']"), "a[b/@c='d']");
  std::ostringstream os;
  os << xpath::Position(-3) << ' ' << xpath::Predicate(xpath::Predicate::Operand::SELF, "") << ' '
     << xpath::Node(xpath::Node::Kind::TEXT) << ' ' << xpath::Node(xpath::Node::Kind::ROOT);
  EXPECT_EQ(os.str(), "last() !!!error!!! text() /");
}

TEST(XPathLimits, DeepTreesAndLongPaths) {
  const int depth = 10000;
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::nested(depth));
  EXPECT_EQ(doc->find("//a").size(), static_cast<size_t>(depth));
  EXPECT_EQ(doc->find("//a//a").size(), static_cast<size_t>(depth - 1));
  EXPECT_EQ(values(doc->find("//a[text()='leaf']/.."), "i"), "9998");
  EXPECT_EQ(values(doc->find("//a[last()][@i='5000']"), "i"), "5000");
  std::string path;
  for (int i = 0; i < depth; ++i) path += "/a";
  EXPECT_EQ(values(doc->find(path), "i"), "9999");
  EXPECT_EQ(values(doc->find(path + "/../.."), "i"), "9997");
}

TEST(XPathLimits, NestingIsBoundedAndLongListsStayShallow) {
  std::string nestedBrackets = "a";
  for (int i = 0; i < 300; ++i) nestedBrackets += "[b";
  nestedBrackets += std::string(300, ']');
  EXPECT_NE(thrownBy([&] { xpath::Path::buildXPath(nestedBrackets); }).find("contains a bad formed predicate"),
            std::string::npos);
  std::string alternatives = "//*[";
  for (int i = 0; i < 20000; ++i) alternatives += (i ? " or @v='" : "@v='") + std::to_string(i) + "'";
  alternatives += "]";
  DomParser parser;
  Document* doc = xmltest::parsed(parser, "<r><x v='19999'/><x v='x'/></r>");
  EXPECT_EQ(doc->find(alternatives).size(), 1u);
}

TEST(XPathLimits, RandomPathsOnlyEverThrowXmlppExceptions) {
  const char* pieces[] = {"/",      "//",     ".",      "..",      "@status", "LtcChange", "*",   "'end'", "\"x\"",
                          "[",      "]",      "(",      ")",       "=",       "!=",        "and", "or",    "|",
                          "text()", "name()", "last()", "first()", "2",       " ",         "!",   "@"};
  std::mt19937 random(20150612);
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kNrtMeta);
  int compiled = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string path;
    const int length = 1 + static_cast<int>(random() % 8);
    for (int j = 0; j < length; ++j) path += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
    try {
      doc->find(path);
      doc->get_root_node()->find_first(path);
      ++compiled;
    } catch (const Exception&) {
    }
  }
  EXPECT_GT(compiled, 100);
}

TEST(XPathLimits, NulCharactersArePartOfNames) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kNrtMeta);
  const std::string nul(1, '\0');
  for (const std::string& path : {nul, "/" + nul, "NonRealTimeMeta" + nul + "/Duration", "//*[" + nul + "]", nul + "|" + nul}) {
    EXPECT_TRUE(doc->find(path).empty());
    EXPECT_EQ(doc->get_root_node()->find_first(path), nullptr);
    EXPECT_TRUE(xpath::select(path, *doc, xpath::PrefixNsMap(), xpath::HOWMANY::ALL).empty());
  }
  EXPECT_EQ(printed(nul), nul);
}
