// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/dat_file.h"

// expat's header declares its protection against entity bombs only when told
// that the library was built with DTD support, as Debian's and our Windows
// build are; against an expat without it, linking fails.
#define XML_DTD 1
#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/services/run_time_error.h"
#include "text/counts.h"

namespace kavo::catalog {

DatError::DatError(std::size_t line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

namespace {

using Limits = DatLimits;

// A name as messages show it: quoted, control characters as \xHH (a
// message is text, and the DAT's bytes are anyone's), and cut short when
// long.
std::string shown(std::string_view text) {
  constexpr std::size_t kShown = 60;
  std::string quoted = "\"";
  for (const char c : text.substr(0, kShown)) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
      quoted += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
    quoted += escaped;
  }
  return quoted + (text.size() > kShown ? "...\"" : "\"");
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Collects the games as either reader finds them, and holds both to the
// same rules: the limits, names that are present, unique and printable,
// and numbers that are numbers.
class DatBuilder {
 public:
  void startGame(std::size_t line) {
    if (dat_.games.size() >= Limits::kGames)
      throw DatError(line, "more than " + withThousands(Limits::kGames) + " games");
    dat_.games.emplace_back();
    gameLine_ = line;
  }

  DatGame& game() { return dat_.games.back(); }
  Dat& dat() { return dat_; }

  void setName(std::string& into, std::string_view value, std::size_t line, const char* what) {
    if (value.size() > Limits::kNameBytes)
      throw DatError(line, std::string(what) + " is longer than " +
                               withThousands(Limits::kNameBytes) + " bytes");
    for (const char c : value)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
        throw DatError(line, std::string(what) + " " + shown(value) + " holds a control character");
    into = value;
  }

  // Texts only shown to people: descriptions and the header's.
  void appendText(std::string& into, std::string_view value, std::size_t line) {
    if (into.size() + value.size() > Limits::kTextBytes)
      throw DatError(line, "a text is longer than " + withThousands(Limits::kTextBytes) + " bytes");
    into += value;
  }

  DatRom& addRom(std::size_t line) {
    if (game().roms.size() >= Limits::kRomsPerGame)
      throw DatError(line, "game " + shown(game().name) + " has more than " +
                               withThousands(Limits::kRomsPerGame) + " ROMs");
    romLine_ = line;
    return game().roms.emplace_back();
  }

  void setRomValue(DatRom& rom, std::string_view key, std::string_view value, std::size_t line) {
    if (key == "name") {
      setName(rom.name, value, line, "a ROM's name");
    } else if (key == "size") {
      rom.size = number(value, line);
      sizeGiven_ = true;
    } else if (key == "crc") {
      if (value.empty() || value.size() > 8 ||
          !std::all_of(value.begin(), value.end(), [](char c) { return hexDigit(c) >= 0; }))
        throw DatError(line, "crc " + shown(value) + " is not a CRC32 (8 hexadecimal digits)");
      std::uint32_t crc = 0;
      for (const char c : value) crc = crc << 4 | static_cast<std::uint32_t>(hexDigit(c));
      rom.crc32 = crc;
    } else if (key == "sha1") {
      Sha1 sha1{};
      if (value.size() != 2 * sha1.size())
        throw DatError(line, "sha1 " + shown(value) + " is not a SHA-1 (40 hexadecimal digits)");
      for (std::size_t i = 0; i < sha1.size(); ++i) {
        const int high = hexDigit(value[2 * i]), low = hexDigit(value[2 * i + 1]);
        if (high < 0 || low < 0)
          throw DatError(line, "sha1 " + shown(value) + " is not a SHA-1 (40 hexadecimal digits)");
        sha1[i] = static_cast<std::uint8_t>(high << 4 | low);
      }
      rom.sha1 = sha1;
    } else if (key == "status" || key == "flags") {
      // "verified" and "good" are good; other words are news to us, and
      // saying nothing of a dump's badness is what a good dump says.
      if (value == "baddump") rom.status = RomStatus::BadDump;
      if (value == "nodump") rom.status = RomStatus::NoDump;
    }
  }

  void endRom() {
    const DatRom& rom = game().roms.back();
    if (rom.name.empty())
      throw DatError(romLine_, "a ROM of " + shown(game().name) + " has no name");
    if (!sizeGiven_ && rom.status != RomStatus::NoDump)
      throw DatError(romLine_, "ROM " + shown(rom.name) + " has no size");
    sizeGiven_ = false;
  }

  void endGame() {
    if (game().name.empty()) throw DatError(gameLine_, "a game has no name");
    if (!byName_.emplace(game().name, dat_.games.size() - 1).second)
      throw DatError(gameLine_, "game " + shown(game().name) + " is listed twice");
  }

  // Resolves each game's parent, following chains of clones (bounded, a
  // chain that goes round leaving its games parents of their own).
  Dat finish() {
    for (std::size_t i = 0; i < dat_.games.size(); ++i) {
      std::size_t at = i;
      for (std::size_t steps = 0;; ++steps) {
        const std::string& parent = dat_.games[at].cloneOf;
        const auto found = parent.empty() ? byName_.end() : byName_.find(parent);
        if (found == byName_.end()) break;
        if (found->second == i || steps == Limits::kDepth) {
          at = i;
          break;
        }
        at = found->second;
      }
      dat_.games[i].parent = at;
    }
    return std::move(dat_);
  }

 private:
  static std::uint64_t number(std::string_view value, std::size_t line) {
    if (value.empty() || value.size() > 19 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
      throw DatError(line, "size " + shown(value) + " is not a number of bytes");
    std::uint64_t size = 0;
    for (const char c : value) size = size * 10 + static_cast<std::uint64_t>(c - '0');
    return size;
  }

  Dat dat_;
  std::unordered_map<std::string, std::size_t> byName_;
  std::size_t gameLine_ = 0, romLine_ = 0;
  bool sizeGiven_ = false;
};

// --- Logiqx XML, through expat.

class XmlReader {
 public:
  XmlReader() : parser_(XML_ParserCreate(nullptr), XML_ParserFree) {
    if (!parser_) throw std::bad_alloc();
    XML_Parser parser = parser_.get();
    XML_SetUserData(parser, this);
    // Nothing from outside the file: no external DTD or parameter entity is
    // read (and no handler for external entities is set at all), and
    // declaring one is refused outright.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetEntityDeclHandler(parser, &XmlReader::entityDeclared);
    // An entity a DAT uses without declaring it (it may be declared in the
    // external DTD, which is not read) is refused in text; in an attribute
    // expat cannot report it and leaves it out.
    XML_SetSkippedEntityHandler(parser, &XmlReader::entitySkipped);
    // Entities declared inside may expand, but not into a bomb.
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, Limits::kEntityThreshold);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, Limits::kEntityAmplification);
    XML_SetElementHandler(parser, &XmlReader::started, &XmlReader::ended);
    XML_SetCharacterDataHandler(parser, &XmlReader::characters);
  }

  Dat read(std::string_view text) {
    const auto status =
        XML_Parse(parser_.get(), text.data(), static_cast<int>(text.size()), XML_TRUE);
    if (failure_) throw *failure_;
    if (status != XML_STATUS_OK) {
      const XML_Error code = XML_GetErrorCode(parser_.get());
      std::string reason = XML_ErrorString(code);
      if (code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH)
        reason = "entities expand too far (" + reason + ")";
      throw DatError(line(), reason);
    }
    if (!rootSeen_) throw DatError(line(), "no <datafile> element");
    return builder_.finish();
  }

 private:
  enum class Where { Root, Header, Game, Rom, Text, Ignored };

  std::size_t line() const { return XML_GetCurrentLineNumber(parser_.get()); }

  // A handler's refusal: parsing stops, and read() throws it.
  void fail(const DatError& error) {
    if (!failure_) failure_ = error;
    XML_StopParser(parser_.get(), XML_FALSE);
  }

  template <typename Step>
  static void guarded(void* self, Step step) {
    auto& reader = *static_cast<XmlReader*>(self);
    if (reader.failure_) return;
    try {
      step(reader);
    } catch (const DatError& error) {
      reader.fail(error);
    } catch (const std::bad_alloc&) {
      reader.fail(DatError(reader.line(), "out of memory"));
    }
  }

  static void XMLCALL started(void* self, const XML_Char* name, const XML_Char** attributes) {
    guarded(self, [&](XmlReader& reader) { reader.start(name, attributes); });
  }

  static void XMLCALL ended(void* self, const XML_Char*) {
    guarded(self, [&](XmlReader& reader) { reader.end(); });
  }

  static void XMLCALL characters(void* self, const XML_Char* text, int size) {
    guarded(self, [&](XmlReader& reader) {
      if (reader.text_)
        reader.builder_.appendText(*reader.text_, {text, static_cast<std::size_t>(size)},
                                   reader.line());
    });
  }

  static void XMLCALL entityDeclared(void* self, const XML_Char* name, int isParameter,
                                     const XML_Char*, int, const XML_Char*,
                                     const XML_Char* systemId, const XML_Char* publicId,
                                     const XML_Char* notation) {
    if (!isParameter && !systemId && !publicId && !notation) return;
    guarded(self, [&](XmlReader& reader) {
      throw DatError(reader.line(), "declares the entity " + shown(name) +
                                        ", which would be read from outside the file");
    });
  }

  static void XMLCALL entitySkipped(void* self, const XML_Char* name, int) {
    guarded(self, [&](XmlReader& reader) {
      throw DatError(reader.line(),
                     "refers to the entity " + shown(name) + ", which is not declared in the file");
    });
  }

  void start(const char* name, const char** attributes) {
    if (stack_.size() >= Limits::kDepth)
      throw DatError(line(), "elements inside one another more than " +
                                 std::to_string(Limits::kDepth) + " deep");
    const auto is = [&](const char* wanted) { return std::strcmp(name, wanted) == 0; };
    Where where = Where::Ignored;
    if (stack_.empty()) {
      if (!is("datafile") && !is("mame"))
        throw DatError(
            line(), "<" + std::string(name) + "> is not a DAT file's first element (<datafile>)");
      rootSeen_ = true;
      where = Where::Root;
    } else if (stack_.back() == Where::Root) {
      if (is("header")) where = Where::Header;
      if (is("game") || is("machine")) {
        builder_.startGame(line());
        for (const char** at = attributes; *at; at += 2) {
          if (std::strcmp(at[0], "name") == 0)
            builder_.setName(builder_.game().name, at[1], line(), "a game's name");
          else if (std::strcmp(at[0], "cloneof") == 0)
            builder_.setName(builder_.game().cloneOf, at[1], line(), "a game's cloneof");
        }
        where = Where::Game;
      }
    } else if (stack_.back() == Where::Header) {
      Dat& dat = builder_.dat();
      text_ = is("name")          ? &dat.name
              : is("description") ? &dat.description
              : is("version")     ? &dat.version
                                  : nullptr;
      if (text_) where = Where::Text;
    } else if (stack_.back() == Where::Game) {
      if (is("description")) {
        text_ = &builder_.game().description;
        where = Where::Text;
      } else if (is("rom")) {
        DatRom& rom = builder_.addRom(line());
        for (const char** at = attributes; *at; at += 2)
          builder_.setRomValue(rom, at[0], at[1], line());
        builder_.endRom();
        where = Where::Rom;
      }
    }
    stack_.push_back(where);
  }

  void end() {
    const Where where = stack_.back();
    stack_.pop_back();
    if (where == Where::Text) {
      *text_ = trimmed(*text_);
      text_ = nullptr;
    }
    if (where == Where::Game) builder_.endGame();
  }

  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser_;
  DatBuilder builder_;
  std::vector<Where> stack_;
  std::string* text_ = nullptr;  // where character data goes, if anywhere
  bool rootSeen_ = false;
  std::optional<DatError> failure_;
};

// --- clrmamepro's text format, by hand.

class CmproReader {
 public:
  explicit CmproReader(std::string_view text) : text_(text) {}

  Dat read() {
    bool any = false;
    for (Token token = next(); token.kind != Token::End; token = next()) {
      if (token.kind != Token::Word)
        throw DatError(token.line,
                       "expected a block's name (clrmamepro, game), found " + describe(token));
      const Token open = next();
      if (open.kind != Token::Open)
        throw DatError(open.line, any ? "expected \"(\" after " + shown(token.text)
                                      : "neither XML nor a clrmamepro DAT");
      any = true;
      if (token.text == "clrmamepro" || token.text == "header")
        header(open.line);
      else if (token.text == "game" || token.text == "machine" || token.text == "resource")
        game(open.line);
      else
        skipBlock(open.line, 1);
    }
    if (!any) throw DatError(line_, "the file is empty");
    return builder_.finish();
  }

 private:
  struct Token {
    enum Kind { Open, Close, Word, String, End } kind;
    std::string text;
    std::size_t line;
  };

  static std::string describe(const Token& token) {
    switch (token.kind) {
      case Token::Open:
        return "\"(\"";
      case Token::Close:
        return "\")\"";
      case Token::End:
        return "the end of the file";
      default:
        return shown(token.text);
    }
  }

  Token next() {
    for (;;) {
      if (at_ == text_.size()) return {Token::End, {}, line_};
      const char c = text_[at_];
      if (c == '\n') ++line_;
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
      ++at_;
    }
    const char c = text_[at_];
    if (c == '(' || c == ')') {
      ++at_;
      return {c == '(' ? Token::Open : Token::Close, std::string(1, c), line_};
    }
    if (c == '"') {
      const std::size_t start = line_;
      std::string value;
      for (++at_;; ++at_) {
        if (at_ == text_.size()) throw DatError(start, "a quoted text is not closed");
        char d = text_[at_];
        if (d == '"') break;
        if (d == '\n') ++line_;
        if (d == '\\' && at_ + 1 < text_.size() &&
            (text_[at_ + 1] == '"' || text_[at_ + 1] == '\\'))
          d = text_[++at_];
        if (value.size() == Limits::kTextBytes)
          throw DatError(start, "a quoted text is longer than " +
                                    withThousands(Limits::kTextBytes) + " bytes");
        value.push_back(d);
      }
      ++at_;
      return {Token::String, std::move(value), start};
    }
    const std::size_t start = at_;
    // Not strchr, which finds a NUL byte in any list: a word holds it.
    constexpr std::string_view kEnds = " \t\r\n()\"";
    while (at_ < text_.size() && kEnds.find(text_[at_]) == std::string_view::npos) ++at_;
    if (at_ - start > Limits::kTextBytes)
      throw DatError(line_,
                     "a word is longer than " + withThousands(Limits::kTextBytes) + " bytes");
    return {Token::Word, std::string(text_.substr(start, at_ - start)), line_};
  }

  // The value after a key: a word or a quoted text. A block instead is
  // skipped and gives nothing.
  std::optional<Token> value(const Token& key, std::size_t depth) {
    Token token = next();
    if (token.kind == Token::Open) {
      skipBlock(token.line, depth + 1);
      return std::nullopt;
    }
    if (token.kind != Token::Word && token.kind != Token::String)
      throw DatError(token.line, shown(key.text) + " is followed by " + describe(token) +
                                     " instead of its value");
    return token;
  }

  void header(std::size_t line) {
    Dat& dat = builder_.dat();
    for (Token key = next(); key.kind != Token::Close; key = next()) {
      requireKey(key, line);
      const std::optional<Token> text = value(key, 1);
      if (!text) continue;
      if (std::string* into = key.text == "name"          ? &dat.name
                              : key.text == "description" ? &dat.description
                              : key.text == "version"     ? &dat.version
                                                          : nullptr)
        builder_.appendText(*into, text->text, text->line);
    }
  }

  void game(std::size_t line) {
    builder_.startGame(line);
    for (Token key = next(); key.kind != Token::Close; key = next()) {
      requireKey(key, line);
      if (key.text == "rom") {
        const Token open = next();
        if (open.kind != Token::Open)
          throw DatError(open.line, "expected \"(\" after \"rom\", found " + describe(open));
        rom(open.line);
        continue;
      }
      const std::optional<Token> text = value(key, 1);
      if (!text) continue;
      if (key.text == "name")
        builder_.setName(builder_.game().name, text->text, text->line, "a game's name");
      else if (key.text == "cloneof")
        builder_.setName(builder_.game().cloneOf, text->text, text->line, "a game's cloneof");
      else if (key.text == "description")
        builder_.appendText(builder_.game().description, text->text, text->line);
    }
    builder_.endGame();
  }

  void rom(std::size_t line) {
    DatRom& rom = builder_.addRom(line);
    for (Token key = next(); key.kind != Token::Close; key = next()) {
      requireKey(key, line);
      if (key.text == "baddump" || key.text == "nodump") {  // a flag on its own
        builder_.setRomValue(rom, "status", key.text, key.line);
        continue;
      }
      if (const std::optional<Token> text = value(key, 2))
        builder_.setRomValue(rom, key.text, text->text, text->line);
    }
    builder_.endRom();
  }

  void requireKey(const Token& key, std::size_t blockLine) {
    if (key.kind == Token::End)
      throw DatError(blockLine, "the block that starts here is not closed");
    if (key.kind != Token::Word) throw DatError(key.line, "expected a key, found " + describe(key));
  }

  // Skips a block whose "(" has been read, and the blocks inside it.
  void skipBlock(std::size_t line, std::size_t depth) {
    if (depth > Limits::kDepth)
      throw DatError(
          line, "blocks inside one another more than " + std::to_string(Limits::kDepth) + " deep");
    for (Token token = next(); token.kind != Token::Close; token = next()) {
      if (token.kind == Token::End)
        throw DatError(line, "the block that starts here is not closed");
      if (token.kind == Token::Open) skipBlock(token.line, depth + 1);
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
  DatBuilder builder_;
};

}  // namespace

Dat parseDat(std::string_view text) {
  if (text.size() > Limits::kFileBytes)
    throw DatError(1, "larger than " + byteCount(Limits::kFileBytes));
  std::string_view body = text;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);  // a byte order mark
  const std::string_view start = trimmed(body);
  // expat reads the byte order mark itself.
  if (!start.empty() && start.front() == '<') return XmlReader().read(text);
  return CmproReader(body).read();
}

Dat readDat(FileSystem& files, const std::string& path) {
  const auto tooLarge = [&] {
    return RunTimeError(
        ErrorNumber::PathFileAccessError, path,
        "Is larger than " + byteCount(Limits::kFileBytes) + ", more than any DAT file holds");
  };
  // Refused before reading when its size says so, and while reading when it
  // has grown since.
  if (files.status(path, Look::Target).size > Limits::kFileBytes) throw tooLarge();
  const std::optional<std::string> text = readAtMost(files, path, Limits::kFileBytes);
  if (!text) throw tooLarge();
  try {
    return parseDat(*text);
  } catch (const DatError& error) {
    throw RunTimeError(ErrorNumber::PathFileAccessError, path,
                       "Cannot be read as a DAT file: " + std::string(error.what()));
  }
}

}  // namespace kavo::catalog
