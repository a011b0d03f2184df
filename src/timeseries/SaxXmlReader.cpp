#include "timeseries/SaxXmlReader.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Numbers.h"

namespace tidemill {

std::string_view SaxAttributes::getValueFromQName(std::string_view strQName) const {
  std::string_view value;
  if (!FindValue(strQName, value)) {
    throw Error(kErrInvalidCall, std::string(StandardDescription(kErrInvalidCall)) + ": no attribute \"" +
                                     std::string(strQName) + "\"");
  }
  return value;
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
class ParseSession final : public SaxLocator, public SaxAttributes {
 public:
  ParseSession(SaxContentHandler* content, SaxErrorHandler* errors, std::string name)
      : content_(content), errors_(errors), name_(std::move(name)) {}

  int32_t lineNumber() const override { return ctxt_ != nullptr ? xmlSAX2GetLineNumber(ctxt_) : 0; }
  int32_t columnNumber() const override { return ctxt_ != nullptr ? xmlSAX2GetColumnNumber(ctxt_) : 0; }

  int32_t length() const override { return attributeCount_; }

  // Attributes come as (local name, prefix, URI, value start, value end) tuples.
  bool FindValue(std::string_view qname, std::string_view& value) const override {
    for (int i = 0; i < attributeCount_; ++i) {
      const xmlChar* const* a = attributes_ + 5 * i;
      const std::string_view local = View(a[0]);
      const std::string_view prefix = View(a[1]);
      bool match;
      if (prefix.empty()) {
        match = qname == local;
      } else {
        match = qname.size() == prefix.size() + 1 + local.size() && qname.substr(0, prefix.size()) == prefix &&
                qname[prefix.size()] == ':' && qname.substr(prefix.size() + 1) == local;
      }
      if (match) {
        value = View(a[3], a[4]);
        return true;
      }
    }
    return false;
  }

  bool Stopped() const { return failure_ != nullptr || fatal_.has_value(); }

  // Runs a callback of the program's handlers; an exception stops the parser.
  template <class Call>
  void Guard(Call&& call) {
    if (Stopped()) return;
    try {
      call();
    } catch (...) {
      failure_ = std::current_exception();
      if (ctxt_ != nullptr) xmlStopParser(ctxt_);
    }
  }

  void StartElement(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int attributeCount,
                    const xmlChar** attributes) {
    if (content_ == nullptr) return;
    Guard([&] {
      attributes_ = attributes;
      attributeCount_ = attributeCount;
      const std::string_view local = View(localname);
      content_->startElement(View(uri), local, QName(prefix, local), *this);
      attributes_ = nullptr;
      attributeCount_ = 0;
    });
  }

  void EndElement(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
    if (content_ == nullptr) return;
    Guard([&] {
      const std::string_view local = View(localname);
      content_->endElement(View(uri), local, QName(prefix, local));
    });
  }

  void Characters(const xmlChar* text, int size) {
    if (content_ == nullptr) return;
    Guard([&] { content_->characters(View(text, text + size)); });
  }

  void ParseError(const xmlError& e) {
    if (Stopped()) return;
    std::string message = e.message != nullptr ? e.message : "XML parse error";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    message += " at line " + IntegerText(e.line) + ", column " + IntegerText(e.int2) + " of " + name_;
    const int32_t code = e.code;
    if (errors_ != nullptr) {
      Guard([&] {
        if (e.level == XML_ERR_FATAL) {
          errors_->fatalError(*this, message, code);
        } else if (e.level == XML_ERR_ERROR) {
          errors_->error(*this, message, code);
        } else {
          errors_->ignorableWarning(*this, message, code);
        }
      });
    }
    if (e.level == XML_ERR_FATAL && !Stopped()) fatal_.emplace(code, std::move(message));
  }

  // Raises what ended the parse, if anything did.
  void RaiseFailure() {
    if (failure_ != nullptr) std::rethrow_exception(failure_);
    if (fatal_) throw *fatal_;
  }

  void Attach(xmlParserCtxtPtr ctxt) { ctxt_ = ctxt; }

 private:
  std::string_view QName(const xmlChar* prefix, std::string_view local) {
    if (prefix == nullptr) return local;
    qname_.assign(View(prefix));
    qname_ += ':';
    qname_ += local;
    return qname_;
  }

  SaxContentHandler* content_;
  SaxErrorHandler* errors_;
  std::string name_;
  xmlParserCtxtPtr ctxt_ = nullptr;
  const xmlChar** attributes_ = nullptr;
  int attributeCount_ = 0;
  std::string qname_;
  std::exception_ptr failure_;
  std::optional<Error> fatal_;
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

void IgnoreGenericError(void*, const char*, ...) {}

// Only entities declared inside the document are expanded; an external one is treated as
// undeclared, so nothing outside the document is ever loaded.
xmlEntityPtr OnGetEntity(void* ctx, const xmlChar* name) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  if (xmlEntityPtr predefined = xmlGetPredefinedEntity(name)) return predefined;
  if (ctxt == nullptr || ctxt->myDoc == nullptr) return nullptr;
  xmlEntityPtr entity = xmlGetDocEntity(ctxt->myDoc, name);
  return entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY ? entity : nullptr;
}

xmlEntityPtr OnGetParameterEntity(void* ctx, const xmlChar* name) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  if (ctxt == nullptr || ctxt->myDoc == nullptr) return nullptr;
  xmlEntityPtr entity = xmlGetParameterEntity(ctxt->myDoc, name);
  return entity != nullptr && entity->etype == XML_INTERNAL_PARAMETER_ENTITY ? entity : nullptr;
}

const xmlSAXHandler& Callbacks() {
  static const xmlSAXHandler handler = [] {
    xmlInitParser();
    xmlSAXHandler h{};
    // Start from libxml2's own SAX2 callbacks for the internal subset, then take over the
    // content and leave out everything that would build a tree.
    xmlSAXVersion(&h, 2);
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
    h.getEntity = OnGetEntity;
    h.getParameterEntity = OnGetParameterEntity;
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

// Sets the session and a silent generic error channel for the life of one parse.
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

template <class Feed>
void SaxXmlReader::Run(const std::string& name, Feed&& feed) {
  ParseSession session(content_, errors_, name);
  SessionScope scope(&session);
  if (content_ != nullptr) {
    content_->documentLocator(session);
    content_->startDocument();
  }

  xmlSAXHandler sax = Callbacks();
  std::unique_ptr<xmlParserCtxt, ContextDeleter> ctxt(xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, name.c_str()));
  if (!ctxt) throw Error(kErrOutOfMemory);
  // Entities are substituted (internal ones only, see OnGetEntity) so that text and
  // attribute values arrive resolved; the expansion limits stay on (no XML_PARSE_HUGE).
  xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NOENT | XML_PARSE_NONET);
  session.Attach(ctxt.get());

  feed([&](const char* data, std::size_t size, bool last) {
    if (session.Stopped()) return false;
    xmlParseChunk(ctxt.get(), data, static_cast<int>(size), last ? 1 : 0);
    return !session.Stopped();
  });
  session.Attach(nullptr);
  session.RaiseFailure();
  if (content_ != nullptr) content_->endDocument();
}

void SaxXmlReader::parseURL(const std::string& path) {
  std::unique_ptr<InputFile> file;
  std::vector<char> block;
  Run(path, [&](auto&& chunk) {
    file = Fs().OpenRead(path);
    block.resize(kBlockSize);
    for (;;) {
      const std::size_t n = file->Read(block.data(), block.size());
      if (n < block.size()) {
        chunk(block.data(), n, true);
        return;
      }
      if (!chunk(block.data(), n, false)) return;
    }
  });
}

void SaxXmlReader::parse(std::string_view document, const std::string& name) {
  Run(name, [&](auto&& chunk) {
    while (document.size() > kBlockSize) {
      if (!chunk(document.data(), kBlockSize, false)) return;
      document.remove_prefix(kBlockSize);
    }
    chunk(document.data(), document.size(), true);
  });
}

}  // namespace tidemill
