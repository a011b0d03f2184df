// Event-driven XML reading: the callback interfaces the program's handlers implement, and a
// reader that drives them from libxml2's SAX2 push parser.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

class InputFile;

// Where the parser stands during a parse; 0 outside one.
class SaxLocator {
 public:
  virtual ~SaxLocator() = default;
  // 1-based line of the current event, 0 outside a parse.
  virtual int32_t lineNumber() const = 0;
  // 1-based column of the current event, 0 outside a parse.
  virtual int32_t columnNumber() const = 0;
};

// Up to 32 distinct qualified attribute names asked for together at every element of one kind;
// each list has a number of its own for the life of the process, by which a reader knows it again.
class AttributeNames {
 public:
  AttributeNames(std::initializer_list<std::string_view> names);
  std::span<const std::string_view> Names() const { return names_; }
  uint64_t Number() const { return number_; }

 private:
  std::vector<std::string_view> names_;
  uint64_t number_;
};

// The attribute list of one start tag; its values point into the parser's buffers and live
// only for the startElement call. Namespace declarations are not attributes.
class SaxAttributes {
 public:
  virtual ~SaxAttributes() = default;
  // Number of attributes.
  virtual int32_t length() const = 0;
  // The value of the attribute with this qualified name (prefix:local); error 5 when absent.
  std::string_view getValueFromQName(std::string_view strQName) const;
  // The value of the attribute with this qualified name, or false when absent.
  virtual bool FindValue(std::string_view strQName, std::string_view& value) const = 0;
  // FindValue for each name of the list at once: bit i of the result is set when the list's
  // name i was found, its value then in values[i]. Readers may make it one pass over the
  // attributes and remember, for the list, which of their names are which.
  virtual uint32_t FindValues(const AttributeNames& names, std::string_view* values) const;
};

// The content callbacks, made one at a time in document order. An exception thrown from one
// ends the parse and leaves parseURL with it.
class SaxContentHandler {
 public:
  virtual ~SaxContentHandler() = default;
  // The reader's locator, before the document starts; it lives as long as the reader.
  virtual void documentLocator(const SaxLocator& oLocator) { (void)oLocator; }
  // Before any input is read, even for an empty or missing file.
  virtual void startDocument() {}
  // Names arrive as local names; strQName is prefix:local.
  virtual void startElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                            std::string_view strQName, const SaxAttributes& oAttributes) {
    (void)strNamespaceURI, (void)strLocalName, (void)strQName, (void)oAttributes;
  }
  // Text in UTF-8, entities resolved; one element's text may come in several pieces.
  virtual void characters(std::string_view strChars) { (void)strChars; }
  // The end of an element, named as at its start.
  virtual void endElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                          std::string_view strQName) {
    (void)strNamespaceURI, (void)strLocalName, (void)strQName;
  }
  // After the whole document has been read without a fatal error.
  virtual void endDocument() {}
};

// The error callbacks: recoverable errors, the fatal error that ends the parse, and warnings.
class SaxErrorHandler {
 public:
  virtual ~SaxErrorHandler() = default;
  // Each gets the message ("<message> at line L, column C of <file>") and libxml2's code; the
  // libxml2 reader passes on its errors and fatal errors, not its warnings.
  virtual void error(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) = 0;
  virtual void fatalError(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) = 0;
  virtual void ignorableWarning(const SaxLocator& oLocator, std::string_view strErrorMessage, int32_t nErrorCode) = 0;
};

// Reads a document as a stream of callbacks, never as a tree. No external entity or DTD is
// loaded; internal entities are expanded within the library's limits.
class SaxXmlReader {
 public:
  SaxXmlReader() = default;
  // Handlers keep the reader's locator: the reader stays where it is.
  SaxXmlReader(const SaxXmlReader&) = delete;
  SaxXmlReader& operator=(const SaxXmlReader&) = delete;

  // Size of the blocks in which a file is read.
  static constexpr std::size_t kBlockSize = 256 * 1024;

  void contentHandler(SaxContentHandler* handler) { content_ = handler; }
  void errorHandler(SaxErrorHandler* handler) { errors_ = handler; }

  // Parses the file at path (read through the file-system seam). The content handler's
  // startDocument comes first, even for an empty or missing file; endDocument only after a
  // parse without fatal error. A fatal parse error raises an Error with the parser's code and
  // its message "<message> at line L, column C of <path>"; a callback's exception passes on.
  void parseURL(const std::string& path);
  // Parses a file already open, from its current position to its end.
  void parse(std::unique_ptr<InputFile> file, const std::string& name);
  // Parses a document held in memory; name stands for the file in messages.
  void parse(std::string_view document, const std::string& name);
  // Parses the bytes that read gives (up to size into out; 0 at the end; it may raise).
  using ByteSource = std::function<std::size_t(char* out, std::size_t size)>;
  void parse(const ByteSource& read, const std::string& name);

  // Sets libxml2 up; once, on the main thread, before any parse on another thread.
  static void Initialise();
  // Bytes the last parse's name dictionary took, against libxml2's limit for one document.
  std::size_t DictionaryBytes() const { return dictionaryBytes_; }

 private:
  template <class Open>
  void Run(const std::string& name, Open&& open);

  // The parser's place during a parse; 0 outside one.
  class Position : public SaxLocator {
   public:
    int32_t lineNumber() const override;
    int32_t columnNumber() const override;
    void* parser = nullptr;  // the libxml2 context of the parse under way
  };

  SaxContentHandler* content_ = nullptr;
  SaxErrorHandler* errors_ = nullptr;
  Position position_;
  std::size_t dictionaryBytes_ = 0;
};

// Reads a file through the file-system seam in large blocks and hands them out in the parser's
// smaller pieces: from where the file stands to its end, or length bytes from offset by
// positional reads (several sources may then share one open file). Error 62 where the file
// ends before the length.
class BlockSource {
 public:
  explicit BlockSource(InputFile& file);
  BlockSource(InputFile& file, uint64_t offset, uint64_t length);
  // Up to size bytes into out; 0 at the end.
  std::size_t operator()(char* out, std::size_t size);

 private:
  InputFile& file_;
  std::vector<char> block_;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  bool ranged_ = false;
  uint64_t at_ = 0;
  uint64_t left_ = 0;
};

}  // namespace tidemill
