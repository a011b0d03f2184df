#include "timeseries/SaxXmlReader.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Numbers.h"

namespace tidemill {

std::string_view SaxAttributes::getValueFromQName(std::string_view strQName) const {
  std::string_view value;
  if (!FindValue(strQName, value)) {
    throw DetailedError(kErrInvalidCall, "no attribute \"" +
                                     std::string(strQName) + "\"");
  }
  return value;
}

AttributeNames::AttributeNames(std::initializer_list<std::string_view> names) : names_(names) {
  static std::atomic<uint64_t> lists{0};
  if (names_.size() > 32) throw DetailedError(kErrInvalidCall, "more than 32 attribute names in one list");
  number_ = ++lists;
}

uint32_t SaxAttributes::FindValues(const AttributeNames& names, std::string_view* values) const {
  uint32_t found = 0;
  for (std::size_t i = 0; i < names.Names().size(); ++i) {
    if (FindValue(names.Names()[i], values[i])) found |= 1u << i;
  }
  return found;
}

namespace {

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

std::string_view View(const xmlChar* begin, const xmlChar* end) {
  return std::string_view(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
}

// The state of one parse; the libxml2 callbacks find it through a thread-local pointer, which
// also serves the nested parser contexts that libxml2 makes for entity content.
class ParseSession final : public SaxAttributes {
 public:
  ParseSession(SaxContentHandler* content, SaxErrorHandler* errors, const SaxLocator& locator, std::string name)
      : content_(content), errors_(errors), locator_(locator), name_(std::move(name)) {}

  int32_t length() const override { return attributeCount_; }

  bool FindValue(std::string_view qname, std::string_view& value) const override {
    for (int i = 0; i < attributeCount_; ++i) {
      const xmlChar* const* a = attributes_ + 5 * i;
      if (Named(View(a[1]), View(a[0]), qname)) {
        value = View(a[3], a[4]);
        return true;
      }
    }
    return false;
  }

  uint32_t FindValues(const AttributeNames& names, std::string_view* values) const override {
    const std::span<const std::string_view> qnames = names.Names();
    if (names.Number() != knownList_) {
      knownList_ = names.Number();
      knownNames_.fill(nullptr);
    }
    // Names come from the parser's dictionary, one pointer per name for the whole parse: a
    // name met before is known by its pointer. Mostly the attributes are the list's, in its
    // order.
    const auto count = static_cast<std::size_t>(attributeCount_);
    if (count == qnames.size() && count <= kKnown) {
      std::size_t i = 0;
      while (i < count && attributes_[5 * i + 1] == nullptr && attributes_[5 * i] == knownNames_[i]) ++i;
      if (i == count) {
        for (i = 0; i < count; ++i) values[i] = View(attributes_[5 * i + 3], attributes_[5 * i + 4]);
        return (1u << count) - 1;
      }
    }
    uint32_t found = 0;
    for (int i = 0; i < attributeCount_; ++i) {
      const xmlChar* const* a = attributes_ + 5 * i;
      std::size_t q = kKnown;
      if (a[1] == nullptr) {
        const auto guess = static_cast<std::size_t>(i);
        q = guess < kKnown && knownNames_[guess] == a[0] ? guess : Known(a[0]);
      }
      if (q < kKnown) {
        if ((found >> q & 1) == 0) {
          values[q] = View(a[3], a[4]);
          found |= 1u << q;
        }
        continue;
      }
      const std::string_view prefix = View(a[1]);
      const std::string_view local = View(a[0]);
      for (q = 0; q < qnames.size(); ++q) {
        if ((found >> q & 1) == 0 && Named(prefix, local, qnames[q])) {
          values[q] = View(a[3], a[4]);
          found |= 1u << q;
          if (a[1] == nullptr && q < kKnown) knownNames_[q] = a[0];
        }
      }
    }
    return found;
  }

  bool Stopped() const { return failure_ != nullptr || fatal_.has_value(); }

  // Ends the parse with an exception. The parser is stopped from a callback; a failed read
  // stops it by itself (stopping it there would pull its input away under its feet).
  void Fail(std::exception_ptr failure, bool stopParser = true) {
    if (failure_ == nullptr) failure_ = std::move(failure);
    if (stopParser && ctxt_ != nullptr) xmlStopParser(ctxt_);
  }

  // Runs a callback of the program's handlers; an exception stops the parser.
  template <class Call>
  void Guard(Call&& call) {
    if (Stopped()) return;
    try {
      call();
    } catch (...) {
      Fail(std::current_exception());
    }
  }

  void StartElement(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int attributeCount,
                    const xmlChar** attributes) {
    if (content_ == nullptr) return;
    if (expands_) open_.emplace_back(prefix, localname);
    Guard([&] {
      if (expands_) {
        uint64_t values = 0;
        for (int i = 0; i < attributeCount; ++i) values += static_cast<uint64_t>(attributes[5 * i + 4] - attributes[5 * i + 3]);
        Deliver(values);
      }
      attributes_ = attributes;
      attributeCount_ = attributeCount;
      const std::string_view local = Name(localname);
      content_->startElement(Uri(uri), local, QName(prefix, local), *this);
      attributes_ = nullptr;
      attributeCount_ = 0;
    });
  }

  void EndElement(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
    if (content_ == nullptr) return;
    Guard([&] {
      const std::string_view local = Name(localname);
      content_->endElement(Uri(uri), local, QName(prefix, local));
    });
    if (expands_ && !open_.empty()) open_.pop_back();
  }

  void Characters(const xmlChar* text, int size) {
    if (content_ == nullptr) return;
    Guard([&] {
      if (expands_) Deliver(static_cast<uint64_t>(size));
      content_->characters(View(text, text + size));
    });
  }

  // Bytes of the document handed to the parser so far.
  void Read(std::size_t bytes) { read_ += bytes; }
  // The document declares an entity or an attribute (with its default): from here on its text
  // may come to more than its bytes. The declarations come before the root element.
  void Declares() { expands_ = true; }

  void ParseError(const xmlError& e) {
    // A warning remarks on legal XML (a relative namespace name): nothing for the user to act on.
    if (Stopped() || e.level == XML_ERR_WARNING) return;
    std::string message = e.message != nullptr ? e.message : "XML parse error";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    message += " at line " + IntegerText(e.line) + ", column " + IntegerText(e.int2) + " of " + name_;
    const int32_t code = e.code;
    if (errors_ != nullptr) {
      Guard([&] {
        if (e.level == XML_ERR_FATAL) {
          errors_->fatalError(locator_, message, code);
        } else if (e.level == XML_ERR_ERROR) {
          errors_->error(locator_, message, code);
        } else {
          errors_->ignorableWarning(locator_, message, code);
        }
      });
    }
    if (e.level == XML_ERR_FATAL && !Stopped()) fatal_.emplace(code, std::move(message));
  }

  // An error of the reader's own, at the parser's current place; the parse goes on.
  void RecoverableError(int code, const std::string& message) {
    xmlError error{};
    error.level = XML_ERR_ERROR;
    error.code = code;
    error.message = const_cast<char*>(message.c_str());
    error.line = locator_.lineNumber();
    error.int2 = locator_.columnNumber();
    ParseError(error);
  }

  // Raises what ended the parse, if anything did.
  void RaiseFailure() {
    if (failure_ != nullptr) std::rethrow_exception(failure_);
    if (fatal_) throw *fatal_;
  }

  void Attach(xmlParserCtxtPtr ctxt) { ctxt_ = ctxt; }

 private:
  // Text and attribute values come to more than the bytes read only through entities and
  // default attributes, expanded again at every reference (Declares): past libxml2's own bound for the
  // documents it builds (5 times the input, 1 MB at least) the parse ends, before the handler
  // keeps what would exhaust the memory.
  static constexpr uint64_t kAmplification = 5;
  static constexpr uint64_t kExpansionFloor = 1000000;

  void Deliver(uint64_t bytes) {
    delivered_ += bytes;
    const uint64_t allowed = std::max(kExpansionFloor, kAmplification * read_);
    if (delivered_ <= allowed) return;
    std::string where;
    if (!open_.empty()) {
      const std::string_view local = View(open_.back().second);
      where = ", in element \"" + std::string(QName(open_.back().first, local)) + "\"";
    }
    throw DetailedError(kErrOverflow, "entities expand to more than " + IntegerText(static_cast<int64_t>(allowed)) +
                                          " bytes of text" + where + ", line " + IntegerText(locator_.lineNumber()) +
                                          " of " + name_);
  }

  // Whether an attribute (libxml2 gives local name, prefix, URI, value start and value end)
  // has this qualified name; sizes rule out most names at once.
  static bool Named(std::string_view prefix, std::string_view local, std::string_view qname) {
    if (prefix.empty()) return Same(qname, local);
    return qname.size() == prefix.size() + 1 + local.size() && qname[prefix.size()] == ':' &&
           Same(qname.substr(0, prefix.size()), prefix) && Same(qname.substr(prefix.size() + 1), local);
  }

  // Attribute names are a few characters: a plain loop beats a call of memcmp.
  static bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }

  // Namespace URIs come from the parser's dictionary, one pointer per URI: measured once.
  std::string_view Uri(const xmlChar* uri) {
    if (uri != lastUri_) {
      lastUri_ = uri;
      lastUriView_ = View(uri);
    }
    return lastUriView_;
  }

  // Element names come from the dictionary too; most elements share the name of the last one.
  std::string_view Name(const xmlChar* name) {
    if (name != lastName_) {
      lastName_ = name;
      lastNameView_ = View(name);
    }
    return lastNameView_;
  }

  std::string_view QName(const xmlChar* prefix, std::string_view local) {
    if (prefix == nullptr) return local;
    qname_.assign(View(prefix));
    qname_ += ':';
    qname_ += local;
    return qname_;
  }

  SaxContentHandler* content_;
  SaxErrorHandler* errors_;
  const SaxLocator& locator_;
  std::string name_;
  xmlParserCtxtPtr ctxt_ = nullptr;
  // The list of names of the last FindValues, and the dictionary pointers of its first names
  // where met unprefixed.
  static constexpr std::size_t kKnown = 8;
  std::size_t Known(const xmlChar* name) const {
    std::size_t q = 0;
    while (q < kKnown && knownNames_[q] != name) ++q;
    return q;
  }
  mutable uint64_t knownList_ = 0;
  mutable std::array<const xmlChar*, kKnown> knownNames_{};
  const xmlChar** attributes_ = nullptr;  // of the start tag being delivered
  int attributeCount_ = 0;
  const xmlChar* lastUri_ = nullptr;
  std::string_view lastUriView_;
  const xmlChar* lastName_ = nullptr;
  std::string_view lastNameView_;
  std::string qname_;
  std::exception_ptr failure_;
  std::optional<Error> fatal_;
  bool expands_ = false;
  uint64_t read_ = 0;
  uint64_t delivered_ = 0;
  // Prefix and local name of the elements open, for naming where the text grew too long.
  std::vector<std::pair<const xmlChar*, const xmlChar*>> open_;
};

thread_local ParseSession* tCurrent = nullptr;

// The document node is made only so that the internal subset has somewhere to keep entity
// declarations; no element or text ever goes into it.
void OnStartDocument(void* ctx) { xmlSAX2StartDocument(ctx); }

void OnEndDocument(void*) {}

void OnStartElementNs(void*, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int,
                      const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  if (tCurrent != nullptr) tCurrent->StartElement(localname, prefix, uri, attributeCount, attributes);
}

void OnEndElementNs(void*, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  if (tCurrent != nullptr) tCurrent->EndElement(localname, prefix, uri);
}

void OnCharacters(void*, const xmlChar* text, int size) {
  if (tCurrent != nullptr) tCurrent->Characters(text, size);
}

void OnError(void*, xmlErrorPtr error) {
  if (tCurrent != nullptr && error != nullptr) tCurrent->ParseError(*error);
}

void OnEntityDecl(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                  xmlChar* content) {
  if (tCurrent != nullptr) tCurrent->Declares();
  xmlSAX2EntityDecl(ctx, name, type, publicId, systemId, content);
}

void OnAttributeDecl(void* ctx, const xmlChar* element, const xmlChar* name, int type, int def,
                     const xmlChar* defaultValue, xmlEnumerationPtr tree) {
  if (tCurrent != nullptr) tCurrent->Declares();
  xmlSAX2AttributeDecl(ctx, element, name, type, def, defaultValue, tree);
}

void IgnoreGenericError(void*, const char*, ...) {}

// Nothing outside the document is ever loaded: no external entity, no external DTD. The
// refusal is told the way libxml2 tells a load that failed, as an error: text of the document
// is left out.
xmlParserInputPtr RefuseExternalEntity(const char* url, const char*, xmlParserCtxtPtr) {
  if (tCurrent != nullptr) tCurrent->RecoverableError(XML_IO_LOAD_ERROR, "failed to load external entity \"" +
                                                                    std::string(url != nullptr ? url : "") + "\"");
  return nullptr;
}

const xmlSAXHandler& Callbacks() {
  static const xmlSAXHandler handler = [] {
    xmlInitParser();
    // For good: the loader is one for the whole process, and parses on several threads at once
    // must not take turns in setting and restoring it.
    xmlSetExternalEntityLoader(RefuseExternalEntity);
    xmlSAXHandler h{};
    // Start from libxml2's own SAX2 callbacks for the internal subset, then take over the
    // content and leave out everything that would build a tree.
    xmlSAXVersion(&h, 2);
    h.entityDecl = OnEntityDecl;
    h.attributeDecl = OnAttributeDecl;
    h.startDocument = OnStartDocument;
    h.endDocument = OnEndDocument;
    h.startElement = nullptr;
    h.endElement = nullptr;
    h.startElementNs = OnStartElementNs;
    h.endElementNs = OnEndElementNs;
    h.characters = OnCharacters;
    h.cdataBlock = OnCharacters;
    h.ignorableWhitespace = OnCharacters;
    h.reference = nullptr;
    h.comment = nullptr;
    h.processingInstruction = nullptr;
    h.setDocumentLocator = nullptr;
    h.warning = nullptr;
    h.error = nullptr;
    h.fatalError = nullptr;
    h.serror = OnError;
    return h;
  }();
  return handler;
}

struct ContextDeleter {
  void operator()(xmlParserCtxt* ctxt) const {
    if (ctxt->myDoc != nullptr) xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
  }
};

// Sets the session and a silent generic error channel (both of this thread) for the life of one
// parse.
class SessionScope {
 public:
  explicit SessionScope(ParseSession* session)
      : previous_(tCurrent), genericError_(xmlGenericError), genericContext_(xmlGenericErrorContext) {
    tCurrent = session;
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
  }
  ~SessionScope() {
    xmlSetGenericErrorFunc(genericContext_, genericError_);
    tCurrent = previous_;
  }
  SessionScope(const SessionScope&) = delete;
  SessionScope& operator=(const SessionScope&) = delete;

 private:
  ParseSession* previous_;
  xmlGenericErrorFunc genericError_;
  void* genericContext_;
};

}  // namespace

namespace {

// libxml2 compares each attribute of an element with those before it, in time quadratic in
// their number: one start tag of millions of attributes would hold the parse for hours. The
// bytes are checked before the parser sees them: every attribute has its "=", so the "=" signs
// between a "<" and the next ">" bound the attributes (a ">" inside a value only lowers the count).
class AttributeBound {
 public:
  static constexpr int64_t kMaxAttributes = 10000;

  explicit AttributeBound(const std::string& file) : file_(file) {}

  void Scan(const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size; done += kSlice) {
      ScanSlice(data + done, std::min(kSlice, size - done), offset_ + done);
    }
    offset_ += size;
  }

 private:
  // Slices far shorter than a tag that could reach the bound: a tag that opens and closes within
  // one is short, so only a tag still open at the end of a slice needs its bytes looked at.
  static constexpr std::size_t kSlice = 16 * 1024;
  // An attribute takes at least five bytes ( a=""): a tag is counted only beyond this length.
  static constexpr uint64_t kCountedFrom = 5 * kMaxAttributes;

  void ScanSlice(const char* data, std::size_t size, uint64_t at) {
    const char* const end = data + size;
    const char* p = data;
    if (inTag_) {
      const char* close = static_cast<const char*>(std::memchr(p, '>', size));
      Grow(p, close != nullptr ? close : end);
      if (close == nullptr) return;
      inTag_ = false;
      p = close + 1;
    }
    const char* tail = end;
    while (tail != p && tail[-1] != '>') --tail;
    const char* open = static_cast<const char*>(std::memchr(tail, '<', static_cast<std::size_t>(end - tail)));
    if (open == nullptr) return;
    inTag_ = true;
    equals_ = 0;
    tagBytes_ = 0;
    tagStart_ = at + static_cast<uint64_t>(open - data);
    Grow(open + 1, end);
  }

  void Grow(const char* from, const char* to) {
    tagBytes_ += static_cast<uint64_t>(to - from);
    if (tagBytes_ > kCountedFrom) equals_ += std::count(from, to, '=');
    if (equals_ > kMaxAttributes) {
      throw DetailedError(kErrOverflow, "the element at byte " + IntegerText(static_cast<int64_t>(tagStart_) + 1) +
                                            " of " + file_ + " has more than " + IntegerText(kMaxAttributes) +
                                            " attributes");
    }
  }

  const std::string& file_;
  bool inTag_ = false;
  int64_t equals_ = 0;
  uint64_t tagBytes_ = 0;
  uint64_t tagStart_ = 0;
  uint64_t offset_ = 0;
};

// The context of the parser's read callback: where the bytes come from, the bound on their
// attributes, and the session that takes an exception the source raises.
template <class Source>
struct ReadContext {
  Source* source;
  AttributeBound bound;
  ParseSession* session;
};

template <class Source>
int ReadCallback(void* context, char* buffer, int size) {
  auto* c = static_cast<ReadContext<Source>*>(context);
  if (c->session->Stopped()) return 0;
  try {
    const std::size_t n = (*c->source)(buffer, static_cast<std::size_t>(size));
    c->bound.Scan(buffer, n);
    c->session->Read(n);
    return static_cast<int>(n);
  } catch (...) {
    c->session->Fail(std::current_exception(), false);
    return -1;
  }
}

class MemorySource {
 public:
  explicit MemorySource(std::string_view document) : rest_(document) {}

  std::size_t operator()(char* out, std::size_t size) {
    const std::size_t n = std::min(size, rest_.size());
    std::memcpy(out, rest_.data(), n);
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
};

}  // namespace

int32_t SaxXmlReader::Position::lineNumber() const {
  return parser != nullptr ? xmlSAX2GetLineNumber(static_cast<xmlParserCtxtPtr>(parser)) : 0;
}

int32_t SaxXmlReader::Position::columnNumber() const {
  return parser != nullptr ? xmlSAX2GetColumnNumber(static_cast<xmlParserCtxtPtr>(parser)) : 0;
}

void SaxXmlReader::Initialise() { Callbacks(); }

template <class Open>
void SaxXmlReader::Run(const std::string& name, Open&& open) {
  Callbacks();
  ParseSession session(content_, errors_, position_, name);
  SessionScope scope(&session);
  if (content_ != nullptr) {
    content_->documentLocator(position_);
    content_->startDocument();
  }
  auto source = open();
  using Source = decltype(source);
  ReadContext<Source> context{&source, AttributeBound(name), &session};

  // The parser pulls its input through the read callback: unlike libxml2's push mode, it
  // then names a truncated document as such ("Premature end of data in tag ...").
  xmlSAXHandler sax = Callbacks();
  std::unique_ptr<xmlParserCtxt, ContextDeleter> ctxt(
      xmlCreateIOParserCtxt(&sax, nullptr, ReadCallback<Source>, nullptr, &context, XML_CHAR_ENCODING_NONE));
  if (!ctxt) throw Error(kErrOutOfMemory);
  // Entities are substituted so that text and attribute values arrive resolved; only those
  // declared in the document can be (RefuseExternalEntity), and the expansion limits stay on
  // (no XML_PARSE_HUGE).
  xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NOENT | XML_PARSE_NONET);
  session.Attach(ctxt.get());
  position_.parser = ctxt.get();
  xmlParseDocument(ctxt.get());
  dictionaryBytes_ = ctxt->dict != nullptr ? xmlDictGetUsage(ctxt->dict) : 0;
  position_.parser = nullptr;
  session.Attach(nullptr);
  session.RaiseFailure();
  if (content_ != nullptr) content_->endDocument();
}

BlockSource::BlockSource(InputFile& file) : file_(file), block_(SaxXmlReader::kBlockSize) {}

BlockSource::BlockSource(InputFile& file, uint64_t offset, uint64_t length)
    : file_(file), block_(SaxXmlReader::kBlockSize), ranged_(true), at_(offset), left_(length) {}

std::size_t BlockSource::operator()(char* out, std::size_t size) {
  if (position_ == end_) {
    position_ = 0;
    if (!ranged_) {
      end_ = file_.Read(block_.data(), block_.size());
    } else if (left_ > 0) {
      end_ = file_.ReadAt(at_, block_.data(), static_cast<std::size_t>(std::min<uint64_t>(block_.size(), left_)));
      if (end_ == 0) throw Error(kErrPastEndOfFile);  // the file has become shorter
      at_ += end_;
      left_ -= end_;
    } else {
      end_ = 0;
    }
  }
  const std::size_t n = std::min(size, end_ - position_);
  std::memcpy(out, block_.data() + position_, n);
  position_ += n;
  return n;
}

void SaxXmlReader::parseURL(const std::string& path) {
  std::unique_ptr<InputFile> file;
  Run(path, [&] {
    file = Fs().OpenRead(path);
    return BlockSource(*file);
  });
}

void SaxXmlReader::parse(std::unique_ptr<InputFile> file, const std::string& name) {
  Run(name, [&] { return BlockSource(*file); });
}

void SaxXmlReader::parse(std::string_view document, const std::string& name) {
  Run(name, [&] { return MemorySource(document); });
}

void SaxXmlReader::parse(const ByteSource& read, const std::string& name) {
  Run(name, [&] { return read; });
}

}  // namespace tidemill
