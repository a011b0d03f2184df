#include "common/XmlWriter.h"

#include "common/Error.h"
#include "common/Text.h"

namespace tidemill {

XmlWriter::XmlWriter(std::string& out) : out_(out) {}

void XmlWriter::StartDocument() { out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"; }

void XmlWriter::NewLine(std::size_t depth) {
  // One append for the usual depths: a line end followed by the tabs of the indentation.
  static constexpr std::string_view kIndent = "\r\n\t\t\t\t\t\t\t\t";
  if (depth + 2 <= kIndent.size()) {
    out_.append(kIndent.data(), depth + 2);
  } else {
    out_ += "\r\n";
    out_.append(depth, '\t');
  }
}

void XmlWriter::CloseStartTag() {
  if (startTagOpen_) {
    out_ += '>';
    startTagOpen_ = false;
  }
}

void XmlWriter::StartElement(std::string_view name) {
  CloseStartTag();
  NewLine(open_.size());
  out_ += '<';
  out_ += name;
  open_.emplace_back(name);
  startTagOpen_ = true;
  hasContent_ = false;
  hasText_ = false;
}

void XmlWriter::Attribute(std::string_view name, std::string_view value) {
  if (!startTagOpen_) throw Error(kErrInvalidCall, "XML attribute outside a start tag");
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  AppendEscaped(out_, value, true);
  out_ += '"';
}

void XmlWriter::RawAttribute(std::string_view name, std::string_view value) {
  if (!startTagOpen_) throw Error(kErrInvalidCall, "XML attribute outside a start tag");
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  out_ += value;
  out_ += '"';
}

void XmlWriter::Text(std::string_view text) {
  if (text.empty()) return;
  CloseStartTag();
  AppendEscaped(out_, text, false);
  hasContent_ = true;
  hasText_ = true;
}

void XmlWriter::EndElement() {
  if (open_.empty()) throw Error(kErrInvalidCall, "XML end tag without an open element");
  if (startTagOpen_) {
    out_ += "/>";
    startTagOpen_ = false;
  } else {
    if (!hasText_) NewLine(open_.size() - 1);
    out_ += "</";
    out_ += open_.back();
    out_ += '>';
  }
  open_.pop_back();
  // The parent now holds a child element, so its end tag goes on a line of its own.
  hasContent_ = true;
  hasText_ = false;
}

void XmlWriter::EndDocument() {
  while (!open_.empty()) EndElement();
  out_ += "\r\n";
}

void XmlWriter::SimpleElement(std::string_view name, std::string_view text) {
  StartElement(name);
  Text(text);
  EndElement();
}

std::string XmlWriter::LineStart(std::size_t depth) {
  std::string start = "\r\n";
  start.append(depth, '\t');
  return start;
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  // Fast path: most texts need no escaping at all.
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x80 || c == '&' || c == '<' || c == '>' || c == '"') break;
    ++i;
  }
  out.append(text.data(), i);
  if (i == n) return;

  const std::string repaired = IsValidUtf8(text.substr(i)) ? std::string(text.substr(i)) : LegacyToUtf8(text.substr(i));
  for (const char ch : repaired) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute) {
          out += "&quot;";
        } else {
          out += '"';
        }
        break;
      case '\r':
        out += "&#13;";  // a literal CR would be read back as a line feed
        break;
      case '\t':
      case '\n':
        if (attribute) {
          out += c == '\t' ? "&#9;" : "&#10;";
        } else {
          out += ch;
        }
        break;
      default:
        if (c < 0x20) {
          out += "\xEF\xBF\xBD";  // U+FFFD
        } else {
          out += ch;
        }
    }
  }
}

}  // namespace tidemill
