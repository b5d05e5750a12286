#pragma once
// XML document loader compiled into every deliverable that reads the records
// server's XML answers (static library QELXml; nothing here is exported).
//
// Documents are pugixml DOMs. A loaded document holds exactly one child node,
// its document element: the XML declaration, processing instructions,
// comments, the DOCTYPE and whitespace-only text are not kept as nodes, so
// the document's first and last child are both the document element, and an
// element's children are its entries. External entities are never resolved
// and entity declarations are never expanded (a reference to one stays as
// literal text).

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "bstr.h"

using IXMLDOMDocument2Ptr = std::unique_ptr<pugi::xml_document>;

// Replaces `document` with a new document (the old one is released) and
// parses `xml` (UTF-16, converted to UTF-8) into it. Returns true when the
// text is well-formed with a single document element; then traces level 3
// "loadXML successful". Otherwise returns false, leaves an empty document in
// `document` and traces level 1 "exception = Unable to load XML to
// IXMLDOMDocument object" (or level 1 "unknown error" on any other failure,
// such as memory exhaustion). Traces use module "QELXml", function
// "loadXMLstring". An empty text, or none, is not well-formed.
// Never throws. Keeps no state: safe on any thread for distinct documents.
bool loadXMLstring(IXMLDOMDocument2Ptr& document, const _bstr_t& xml);

// The XML text of `node` (a document or an element) as UTF-8, with no XML
// declaration, no indentation and no trailing line feed; "" for a null node.
// May throw std::bad_alloc.
std::string nodeXml(const pugi::xml_node& node);

// The text content of `node`: the texts of all its descendants (CDATA
// included) in document order; "" for a null node.
std::string nodeText(const pugi::xml_node& node);

// Replaces all children of element `node` with one text node holding `text`
// (nothing when `text` is empty). Returns false for a null or non-element node.
bool setNodeText(pugi::xml_node node, const std::string& text);
