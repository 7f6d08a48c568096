#include <gtest/gtest.h>

#include <memory>

#include "XmlSamples.h"
#include "xmlpp/Document.h"

using namespace xmlpp;
using xmltest::thrownBy;

TEST(ElementText, AddedTextJoinsThePreviousTextButNotCdata) {
  Element e("e");
  TextNode* first = e.add_child_text("a");
  EXPECT_EQ(e.add_child_text("b"), first);
  e.add_child_cdata("c");
  e.add_child_cdata("d");
  EXPECT_NE(e.add_child_text("e"), first);
  EXPECT_EQ(first->get_content(), "ab");
  EXPECT_EQ(e.get_text(), "abcde");
  EXPECT_TRUE(e.has_only_text_children());
  e.add_child_comment("not text");
  e.add_child_text("f");
  EXPECT_FALSE(e.has_only_text_children());
  e.set_child_text("two");  // replaces the first text child
  EXPECT_EQ(e.get_child_text()->get_content(), "two");
}

TEST(NodeNavigation, SiblingsInsertionRemovalAndIndex) {
  Element e("e");
  Element* a = e.add_child("a");
  Element* c = e.add_child("c");
  Element* b = e.add_previous_sibling(c, "b");
  CommentNode* note = e.add_previous_sibling_comment(a, "first");
  EXPECT_EQ(e[0], note);
  EXPECT_EQ(a->get_next_sibling(), b);
  EXPECT_EQ(c->get_previous_sibling(), b);
  Element stranger("x");
  EXPECT_EQ(e.add_previous_sibling(&stranger, "no"), nullptr);
  e.remove_child(&stranger);
  b->add_child("deep")->add_child("deeper");
  e.remove_child(b);
  EXPECT_EQ(e.get_children_count(), 3u);
  EXPECT_EQ(a->get_next_sibling(), c);
  EXPECT_EQ(thrownBy([&] { e[3]; }), "Element::operator[] out of range");
  DomParser parser;
  Element* root = xmltest::parsed(parser, "<r xmlns:p='u'>t<a/><b/><a/><p:a/><!--c--></r>")->get_root_node();
  EXPECT_EQ(root->get_children("a").size(), 3u);  // the local name, whatever the prefix
  EXPECT_EQ(root->get_children("p:a").size(), 1u);
}

TEST(ElementAttributes, SetGetAndRemoveWithPrefixes) {
  Element e("e");
  Attribute* plain = e.set_attribute("id", "1");
  EXPECT_EQ(e.set_attribute("id", "2"), plain);
  e.set_attribute("id", "3", "p");
  EXPECT_EQ(e.get_attribute_value("id"), "2");
  EXPECT_EQ(e.get_attribute("id", "p")->get_name(), "p:id");
  e.remove_attribute("id");
  EXPECT_FALSE(e.has_attribute("id"));
  EXPECT_TRUE(e.has_attribute("id", "p"));
}

TEST(ElementNamespaces, ResolvedThroughAncestors) {
  Element root("r");
  root.set_namespace_declaration("urn:default");
  root.set_namespace_declaration("urn:p", "p");
  Element* inner = root.add_child("x", "p");
  inner->set_namespace_declaration("urn:q", "q");
  Element* leaf = inner->add_child("y");
  EXPECT_EQ(leaf->get_namespace_uri(), "urn:default");
  EXPECT_EQ(inner->get_namespace_uri(), "urn:p");
  EXPECT_EQ(leaf->get_namespace_uri_for_prefix("xml"), "http://www.w3.org/XML/1998/namespace");
  EXPECT_EQ(leaf->get_namespace_prefix_for_uri("urn:p"), "p");
  leaf->set_namespace("q");
  EXPECT_EQ(leaf->get_qualified_name(), "q:y");
  EXPECT_EQ(leaf->get_namespace_uri(), "urn:q");
  EXPECT_EQ(Element::prefix("a:b:c"), "a");
  EXPECT_EQ(Element::local_name("a:b:c"), "b:c");
}

// Deep copies: the deep-tree and parser-copy tests.
TEST(NodeCopy, ShallowAndImport) {
  DomParser parser;
  Element* root = xmltest::parsed(parser, xmltest::kMarkup)->get_root_node();
  std::unique_ptr<Element> shallow(static_cast<Element*>(root->copy(false)));
  EXPECT_EQ(shallow->get_children_count(), 0u);
  Element target("target");
  Node* imported = target.import_node(root->get_children("item").front());
  EXPECT_EQ(imported->get_parent(), &target);
  EXPECT_TRUE(*imported == *root->get_children("item").front());
}

TEST(NodeEquality, EveryDifferenceCounts) {
  const std::string base = "<r xmlns:p='u' a='1'><!--c--><?t d?><x>t</x></r>";
  DomParser reference;
  Document* ref = xmltest::parsed(reference, base);
  for (const char* other :
       {"<r xmlns:p='u' a='2'><!--c--><?t d?><x>t</x></r>", "<r xmlns:p='v' a='1'><!--c--><?t d?><x>t</x></r>",
        "<r xmlns:p='u' a='1'><!--d--><?t d?><x>t</x></r>", "<r xmlns:p='u' a='1'><!--c--><?t e?><x>t</x></r>",
        "<r xmlns:p='u' a='1'><!--c--><?t d?><x><![CDATA[t]]></x></r>", "<r xmlns:p='u' a='1'><?t d?><!--c--><x>t</x></r>",
        "<!DOCTYPE r><r xmlns:p='u' a='1'><!--c--><?t d?><x>t</x></r>"}) {
    DomParser parser;
    EXPECT_TRUE(*xmltest::parsed(parser, other) != *ref) << other;
  }
  DomParser same;
  EXPECT_TRUE(*xmltest::parsed(same, base) == *ref);
}
