#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "XmlSamples.h"
#include "xmlpp/Document.h"
#include "xmlpp/Exception.h"

using namespace xmlpp;
using xmltest::thrownBy;

TEST(ElementText, AddedTextJoinsThePreviousTextButNotCdata) {
  Element e("e");
  TextNode* first = e.add_child_text("a");
  EXPECT_EQ(e.add_child_text("b"), first);
  e.add_child_cdata("c");
  e.add_child_cdata("d");
  TextNode* after = e.add_child_text("e");
  EXPECT_NE(after, first);
  EXPECT_EQ(e.get_children_count(), 4u);
  EXPECT_EQ(first->get_content(), "ab");
  EXPECT_EQ(e.get_text(), "abcde");
  e.add_child_comment("not text");
  e.add_child_text("f");
  EXPECT_EQ(e.get_children_count(), 6u);
  EXPECT_EQ(e.get_text(), "abcdef");
}

TEST(ElementText, ChildTextHelpers) {
  Element e("e");
  EXPECT_EQ(e.get_child_text(), nullptr);
  EXPECT_FALSE(e.has_child_text());
  EXPECT_FALSE(e.has_only_text_children());
  e.add_child_comment("c");
  e.set_child_text("one");
  ASSERT_NE(e.get_child_text(), nullptr);
  EXPECT_EQ(e.get_child_text()->get_content(), "one");
  e.set_child_text("two");
  EXPECT_EQ(e.get_children_count(), 2u);
  EXPECT_EQ(e.get_text(), "two");
  EXPECT_FALSE(e.has_only_text_children());
  Element t("t");
  t.add_child_text("x");
  t.add_child_cdata("y");
  EXPECT_TRUE(t.has_only_text_children());
}

TEST(NodeNavigation, IndexOutOfRangeThrows) {
  Element e("e");
  e.add_child("a");
  EXPECT_NE(e[0], nullptr);
  EXPECT_EQ(thrownBy([&] { e[1]; }), "Element::operator[] out of range");
  Document doc;
  EXPECT_EQ(thrownBy([&] { doc[0]; }), "Document::operator[] out of range");
  doc.create_root_node("r");
  EXPECT_EQ(doc[0], doc.get_root_node());
}

TEST(NodeNavigation, SiblingsInsertionAndRemoval) {
  Element e("e");
  Element* a = e.add_child("a");
  Element* c = e.add_child("c");
  Element* b = e.add_previous_sibling(c, "b");
  CommentNode* note = e.add_previous_sibling_comment(a, "first");
  EXPECT_EQ(e.get_children_count(), 4u);
  EXPECT_EQ(e[0], note);
  EXPECT_EQ(a->get_next_sibling(), b);
  EXPECT_EQ(b->get_next_sibling(), c);
  EXPECT_EQ(c->get_previous_sibling(), b);
  EXPECT_EQ(note->get_previous_sibling(), nullptr);
  EXPECT_EQ(c->get_next_sibling(), nullptr);
  EXPECT_EQ(b->get_parent(), &e);

  Element stranger("x");
  EXPECT_EQ(e.add_previous_sibling(&stranger, "no"), nullptr);
  e.remove_child(&stranger);
  EXPECT_EQ(e.get_children_count(), 4u);
  b->add_child("deep")->add_child("deeper");
  e.remove_child(b);
  EXPECT_EQ(e.get_children_count(), 3u);
  EXPECT_EQ(a->get_next_sibling(), c);
}

TEST(NodeNavigation, ChildrenByName) {
  DomParser parser;
  Element* root = xmltest::parsed(parser, "<r xmlns:p='u'>t<a/><b/><a/><p:a/><!--c--></r>")->get_root_node();
  EXPECT_EQ(root->get_children().size(), 6u);
  EXPECT_EQ(root->get_children("a").size(), 3u);  // the local name, whatever the prefix
  EXPECT_EQ(root->get_children("p:a").size(), 1u);
  EXPECT_EQ(root->get_children("c").size(), 0u);
  EXPECT_TRUE((*root)[0]->get_children().empty());
}

TEST(ElementAttributes, SetGetAndRemoveWithPrefixes) {
  Element e("e");
  Attribute* plain = e.set_attribute("id", "1");
  EXPECT_EQ(e.set_attribute("id", "2"), plain);
  e.set_attribute("id", "3", "p");
  EXPECT_EQ(e.get_attribute_value("id"), "2");
  EXPECT_EQ(e.get_attribute_value("id", "p"), "3");
  EXPECT_EQ(e.get_attribute("id", "p")->get_name(), "p:id");
  EXPECT_EQ(e.get_attribute_value("missing"), "");
  EXPECT_EQ(e.get_attribute("missing"), nullptr);
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
  EXPECT_EQ(leaf->get_namespace_uri_for_prefix("q"), "urn:q");
  EXPECT_EQ(root.get_namespace_uri_for_prefix("q"), "");
  EXPECT_EQ(leaf->get_namespace_uri_for_prefix("xml"), "http://www.w3.org/XML/1998/namespace");
  EXPECT_EQ(leaf->get_namespace_prefix_for_uri("urn:p"), "p");
  std::string prefix = "unchanged";
  EXPECT_FALSE(leaf->lookup_namespace_prefix("urn:none", prefix));
  EXPECT_TRUE(leaf->lookup_namespace_prefix("urn:default", prefix));
  EXPECT_EQ(prefix, "");
  leaf->set_namespace("q");
  EXPECT_EQ(leaf->get_qualified_name(), "q:y");
  EXPECT_EQ(leaf->get_namespace_uri(), "urn:q");
  EXPECT_EQ(Element::prefix("a:b:c"), "a");
  EXPECT_EQ(Element::local_name("a:b:c"), "b:c");
  EXPECT_EQ(Element::local_name("plain"), "plain");
  EXPECT_EQ(Element::prefix("plain"), "");
}

TEST(NodeCopy, DeepShallowAndImport) {
  DomParser parser;
  Document* doc = xmltest::parsed(parser, xmltest::kMarkup);
  Element* root = doc->get_root_node();
  std::unique_ptr<Node> deep(root->copy(true));
  EXPECT_TRUE(*deep == *root);
  EXPECT_EQ(deep->get_parent(), nullptr);
  std::unique_ptr<Element> shallow(static_cast<Element*>(root->copy(false)));
  EXPECT_EQ(shallow->get_children_count(), 0u);
  EXPECT_EQ(shallow->get_attribute_value("version"), "2");
  EXPECT_FALSE(*shallow == *root);

  static_cast<Element*>(deep.get())->add_child("extra");
  EXPECT_FALSE(*deep == *root);

  Element target("target");
  Node* imported = target.import_node(root->get_children("item").front());
  EXPECT_EQ(imported->get_parent(), &target);
  EXPECT_TRUE(*imported == *root->get_children("item").front());
  EXPECT_EQ(target.import_node(doc), nullptr);

  std::unique_ptr<Node> docCopy(doc->copy(true));
  EXPECT_TRUE(*docCopy == *doc);
  EXPECT_NE(static_cast<Document*>(docCopy.get())->get_root_node(), root);
}

TEST(NodeEquality, EveryDifferenceCounts) {
  const std::string base = "<r xmlns:p='u' a='1'><!--c--><?t d?><x>t</x></r>";
  DomParser reference;
  Document* ref = xmltest::parsed(reference, base);
  for (const char* other :
       {"<r xmlns:p='u' a='2'><!--c--><?t d?><x>t</x></r>", "<r xmlns:p='v' a='1'><!--c--><?t d?><x>t</x></r>",
        "<r xmlns:p='u' a='1'><!--d--><?t d?><x>t</x></r>", "<r xmlns:p='u' a='1'><!--c--><?t e?><x>t</x></r>",
        "<r xmlns:p='u' a='1'><!--c--><?t d?><x><![CDATA[t]]></x></r>",
        "<r xmlns:p='u' a='1'><!--c--><?t d?><p:x>t</p:x></r>", "<r xmlns:p='u' a='1'><?t d?><!--c--><x>t</x></r>",
        "<!DOCTYPE r><r xmlns:p='u' a='1'><!--c--><?t d?><x>t</x></r>"}) {
    DomParser parser;
    EXPECT_TRUE(*xmltest::parsed(parser, other) != *ref) << other;
  }
  DomParser same;
  EXPECT_TRUE(*xmltest::parsed(same, base) == *ref);
  EXPECT_FALSE(Document("1.1") == Document("1.0"));
  EXPECT_FALSE(TextNode("t") == CdataNode("t"));
  EXPECT_FALSE(DtdNode("r", "", "s", true) == DtdNode("r", "", "s", false));
}

TEST(DocumentModel, RootDocumentTypeAndTopLevelNodes) {
  Document* doc = Document::create();
  EXPECT_EQ(doc->get_version(), "1.0");
  EXPECT_EQ(doc->get_root_node(), nullptr);
  doc->add_comment("before");
  Element* first = doc->create_root_node("first", "urn:x", "x");
  first->add_child("child");
  EXPECT_EQ(first->get_qualified_name(), "x:first");
  EXPECT_EQ(first->get_namespace_uri(), "urn:x");
  Element* second = doc->create_root_node("second");
  EXPECT_EQ(doc->get_root_node(), second);
  EXPECT_EQ(doc->get_children().size(), 2u);
  DtdNode* dtd = doc->set_internal_subset("second", "", "second.dtd");
  EXPECT_EQ((*doc)[1], dtd);
  DtdNode* replaced = doc->set_internal_subset("second", "pub", "sys");
  EXPECT_EQ(replaced, doc->get_internal_subset());
  EXPECT_EQ(doc->get_children().size(), 3u);
  EXPECT_EQ(doc->get_internal_subset()->get_public_id(), "pub");
  doc->add_processing_instruction("after", "");
  EXPECT_EQ(doc->get_children("second").size(), 1u);
  Document::destroy(doc);
}

TEST(ExceptionType, CloneAndRaiseKeepTheMessage) {
  Exception original("broken");
  std::unique_ptr<Exception> clone(original.Clone());
  EXPECT_STREQ(clone->what(), "broken");
  EXPECT_EQ(thrownBy([&] { clone->Raise(); }), "broken");
}
