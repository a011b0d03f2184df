// A small streaming XML writer: declaration, one element per line indented by a tab per level,
// attributes in the order added, escaping, empty elements as one empty-element tag.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

class XmlWriter {
 public:
  // Appends the document to out; lines end with CR LF.
  explicit XmlWriter(std::string& out);

  // <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
  void StartDocument();
  // Opens an element; its attributes follow with Attribute before any content.
  void StartElement(std::string_view name);
  // Adds an attribute to the element just opened; the value is escaped.
  void Attribute(std::string_view name, std::string_view value);
  // Adds an attribute whose value needs no escaping (numbers, dates).
  void RawAttribute(std::string_view name, std::string_view value);
  // Character data of the element just opened, escaped, on the element's own line.
  void Text(std::string_view text);
  // Closes the innermost open element.
  void EndElement();
  // Closes every open element and ends the document with a line end.
  void EndDocument();
  // An element with the given text and no attributes.
  void SimpleElement(std::string_view name, std::string_view text);
  // An element the caller has formatted whole: LineStart(Depth()), then the markup from "<" to
  // "/>". The fast path for long runs of like elements (QX-XML events).
  void RawElement(std::string_view line) {
    if (startTagOpen_) CloseStartTag();
    out_ += line;
    hasContent_ = true;
    hasText_ = false;
  }
  // The line end and indentation that begin an element at the given depth.
  static std::string LineStart(std::size_t depth);

  std::size_t Depth() const { return open_.size(); }

 private:
  void CloseStartTag();
  void NewLine(std::size_t depth);

  std::string& out_;
  std::vector<std::string> open_;
  bool startTagOpen_ = false;
  bool hasContent_ = false;  // the innermost element has text or children
  bool hasText_ = false;
};

// Appends text escaped for XML character data or an attribute value. Characters XML cannot
// hold (control characters, invalid UTF-8) are written as U+FFFD; CR, LF and tab inside
// attribute values are written as character references so they survive a read.
void AppendEscaped(std::string& out, std::string_view text, bool attribute);

}  // namespace tidemill
