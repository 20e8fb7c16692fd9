#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "app/PropertiesReader.h"
#include "app/support/TempDir.h"

namespace {

PropertiesReader parsed(const std::string& text) {
  PropertiesReader r;
  r.parse(text);
  return r;
}

std::string valueOf(const std::string& text, const std::string& key) {
  return parsed(text).get(key).value_or("<missing>");
}

bool isUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80         ? 1
                            : (c >> 5) == 6  ? 2
                            : (c >> 4) == 14 ? 3
                            : (c >> 3) == 30 ? 4
                                             : 0;
    if (len == 0 || i + len > s.size()) {
      return false;
    }
    for (std::size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += len;
  }
  return true;
}

}  // namespace

TEST(PropertiesReaderSyntax, SeparatorsAndWhiteSpaceBeforeTheValue) {
  auto r = parsed("a=1\nb: 2\nc 3\nd\t =  4\ne:=5\nf==6\ng\n  h = 8\n\f i \t: 9\n");
  EXPECT_EQ(r.get("a"), "1");
  EXPECT_EQ(r.get("b"), "2");
  EXPECT_EQ(r.get("c"), "3");
  EXPECT_EQ(r.get("d"), "4");
  EXPECT_EQ(r.get("e"), "=5");  // only one separator is skipped
  EXPECT_EQ(r.get("f"), "=6");
  EXPECT_EQ(r.get("g"), "");  // a key alone has an empty value
  EXPECT_EQ(r.get("h"), "8");
  EXPECT_EQ(r.get("i"), "9");
  EXPECT_EQ(r.entries().size(), 9u);
}

TEST(PropertiesReaderSyntax, TrailingBlanksStayInTheValue) {
  EXPECT_EQ(valueOf("Verbose = YES  \n", "Verbose"), "YES  ");
  EXPECT_EQ(valueOf("Verbose = YES\t", "Verbose"), "YES\t");
}

TEST(PropertiesReaderSyntax, CommentsOnlyWhereTheFirstNonBlankIsHashOrBang) {
  auto r = parsed("# a=1\n   ! b=2\n\t#c=3\nd=#4\ne=x # not a comment\n#f=6\\\ng=7\n");
  EXPECT_FALSE(r.get("a"));
  EXPECT_FALSE(r.get("b"));
  EXPECT_FALSE(r.get("c"));
  EXPECT_EQ(r.get("d"), "#4");
  EXPECT_EQ(r.get("e"), "x # not a comment");
  // A comment ending in a backslash does not swallow the next line.
  EXPECT_EQ(r.get("g"), "7");
  EXPECT_EQ(r.entries().size(), 3u);
}

TEST(PropertiesReaderSyntax, KeysAreCaseSensitiveAndLaterDuplicatesWin) {
  auto r = parsed("Key=1\nkey=2\nKey=3\n");
  EXPECT_EQ(r.get("Key"), "3");
  EXPECT_EQ(r.get("key"), "2");
  EXPECT_FALSE(r.get("KEY"));
}

TEST(PropertiesReaderContinuation, JoinsLinesWithoutTheirLeadingBlanks) {
  EXPECT_EQ(valueOf("k = one \\\n      two\\\n\tthree\n", "k"), "one twothree");
  // The joined line is content even when it starts like a comment.
  EXPECT_EQ(valueOf("k = a\\\n  #b\n", "k"), "a#b");
  // A blank line ends the value; what follows is a new entry.
  auto r = parsed("k = a\\\n   \nm = b\n");
  EXPECT_EQ(r.get("k"), "a");
  EXPECT_EQ(r.get("m"), "b");
}

TEST(PropertiesReaderContinuation, CountsBackslashesAtTheEnd) {
  EXPECT_EQ(valueOf("k = a\\\\\nm = b\n", "k"), "a\\");    // two: an escaped backslash
  EXPECT_EQ(valueOf("k = a\\\\\\\n b\n", "k"), "a\\b");    // three: escaped one + join
  EXPECT_EQ(valueOf("k = a\\\n\\\\\nm=c\n", "k"), "a\\");  // joined piece judged alone
  EXPECT_EQ(valueOf("k = a\\\r\n  b\r\n", "k"), "ab");     // CR LF after the backslash
  EXPECT_EQ(valueOf("k = a\\\r  b\r", "k"), "ab");         // CR alone
}

TEST(PropertiesReaderContinuation, LoneBackslashAtEndOfFile) {
  EXPECT_EQ(valueOf("k = abc\\", "k"), "abc");
  EXPECT_EQ(valueOf("k = abc\\\n", "k"), "abc");
  auto r = parsed("\\");
  EXPECT_TRUE(r.problems().empty());
  auto s = parsed("k\\");
  EXPECT_EQ(s.get("k"), "");
}

TEST(PropertiesReaderEscapes, DecodesTheKnownEscapesAndKeepsOtherCharacters) {
  EXPECT_EQ(valueOf("k = a\\tb\\nc\\rd\\fe", "k"), "a\tb\nc\rd\fe");
  EXPECT_EQ(valueOf("k = \\x\\y\\\\\\=\\:\\#", "k"), "xy\\=:#");
  EXPECT_EQ(valueOf("k = \\u0041\\u00e9\\u20AC", "k"), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(valueOf("k = \\uD83D\\uDE00", "k"), "\xF0\x9F\x98\x80");  // one character
  EXPECT_EQ(valueOf("k = \\uD800x", "k"),
            "\xEF\xBF\xBD"
            "x");                                   // lone surrogate
  EXPECT_EQ(valueOf("k = \\ lead", "k"), " lead");  // an escaped blank is kept
  // Escaped separators and blanks belong to the key.
  auto r = parsed("a\\=b\\:c\\ d = v\n");
  EXPECT_EQ(r.get("a=b:c d"), "v");
}

TEST(PropertiesReaderEscapes, MalformedUnicodeEscapeIsKeptAndReported) {
  auto r = parsed("ok = 1\nk = x\\u12G4y\nm = \\u12");
  EXPECT_EQ(r.get("k"), "xu12G4y");
  EXPECT_EQ(r.get("m"), "u12");
  EXPECT_EQ(r.get("ok"), "1");
  ASSERT_EQ(r.problems().size(), 2u);
  EXPECT_NE(r.problems()[0].find("line 2"), std::string::npos) << r.problems()[0];
  EXPECT_NE(r.problems()[1].find("line 3"), std::string::npos) << r.problems()[1];

  // Thousands of them give a short list, not thousands of lines.
  std::string many;
  for (int i = 0; i < 5000; ++i) {
    many += "k" + std::to_string(i) + " = \\uZZZZ\n";
  }
  auto m = parsed(many);
  EXPECT_EQ(m.problems().size(), 11u);
  EXPECT_EQ(m.problems().back(), "4990 more problems");
}

TEST(PropertiesReaderEncoding, BytesAreIso88591DecodedToUtf8) {
  EXPECT_EQ(valueOf("k = Caf\xE9 \xFF\xA0", "k"), "Caf\xC3\xA9 \xC3\xBF\xC2\xA0");
  EXPECT_EQ(valueOf("Cl\xE9=1", "Cl\xC3\xA9"), "1");
}

TEST(PropertiesReaderEncoding, Utf8ByteOrderMarkDoesNotHideTheFirstKey) {
  auto r = parsed(
      "\xEF\xBB\xBF"
      "COMPort = COM3\n");
  EXPECT_EQ(r.get("COMPort"), "COM3");
}

TEST(PropertiesReaderEncoding, LineEndsLfCrLfAndCrGiveTheSameEntries) {
  auto lf = parsed("a = 1\nb = 2\n\nc = 3");
  auto crlf = parsed("a = 1\r\nb = 2\r\n\r\nc = 3\r\n");
  auto cr = parsed("a = 1\rb = 2\r\rc = 3\r");
  EXPECT_EQ(lf.entries(), crlf.entries());
  EXPECT_EQ(lf.entries(), cr.entries());
  EXPECT_EQ(crlf.get("b"), "2");
}

TEST(PropertiesReaderRobustness, EmptyAndBlankInput) {
  EXPECT_TRUE(parsed("").entries().empty());
  EXPECT_TRUE(parsed("\n\r\n   \t\f\n# only a comment").entries().empty());
}

TEST(PropertiesReaderRobustness, ArbitraryBytesNeverBreakTheReader) {
  std::mt19937 gen(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  // Biased towards the characters with a meaning to the syntax.
  const std::string special = "\\\\\\\r\n=:#! \tu0";
  for (int round = 0; round < 200; ++round) {
    std::string bytes(2000, '\0');
    for (char& c : bytes) {
      const int b = byte(gen);
      c = b < 128 ? special[b % special.size()] : static_cast<char>(byte(gen));
    }
    PropertiesReader r;
    r.parse(bytes);
    for (const auto& [k, v] : r.entries()) {
      // Whatever came in, what comes out is well-formed UTF-8.
      EXPECT_TRUE(isUtf8(k));
      EXPECT_TRUE(isUtf8(v));
    }
  }
}

TEST(PropertiesReaderFile, LoadsMissingAndUnreadableFiles) {
  TempDir dir;
  PropertiesReader r;
  EXPECT_EQ(r.load(dir.path("nothing.txt")), PropertiesReader::LoadResult::Missing);
  EXPECT_EQ(r.load(dir.path("nothing/below.txt")), PropertiesReader::LoadResult::Missing);

  dir.write("good.txt", "COMPort = COM2\r\n");
  EXPECT_EQ(r.load(dir.path("good.txt")), PropertiesReader::LoadResult::Loaded);
  EXPECT_EQ(r.get("COMPort"), "COM2");

  // A directory, or a pipe that nobody writes to, is there but is no settings file; the
  // pipe must not hang the reader.
  std::filesystem::create_directory(dir.path("folder"));
  EXPECT_EQ(r.load(dir.path("folder")), PropertiesReader::LoadResult::Unreadable);
  EXPECT_TRUE(r.entries().empty());
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(dir.path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(r.load(dir.path("pipe")), PropertiesReader::LoadResult::Unreadable);
  EXPECT_FALSE(r.error().empty());

  if (::geteuid() != 0) {  // root reads any file
    dir.write("locked.txt", "a=1\n");
    ::chmod(dir.path("locked.txt").c_str(), 0);
    EXPECT_EQ(r.load(dir.path("locked.txt")), PropertiesReader::LoadResult::Unreadable);
  }
#endif
}

TEST(PropertiesReaderFile, TenMegabyteFilesLoadQuickly) {
  TempDir dir;
  std::string lines;
  while (lines.size() < 10u * 1024 * 1024) {
    lines += "Key" + std::to_string(lines.size() % 1000) + " = some value \\u00e9\\\n  more\r\n";
  }
  lines += "Last = yes";
  dir.write("lines.txt", lines);
  dir.write("oneline.txt", "Long = " + std::string(10u * 1024 * 1024, 'x'));
  dir.write("backslashes.txt", std::string(10u * 1024 * 1024 + 1, '\\'));

  const auto t0 = std::chrono::steady_clock::now();
  PropertiesReader r;
  ASSERT_EQ(r.load(dir.path("lines.txt")), PropertiesReader::LoadResult::Loaded);
  EXPECT_EQ(r.get("Last"), "yes");
  EXPECT_EQ(r.get("Key0"), "some value \xC3\xA9more");
  ASSERT_EQ(r.load(dir.path("oneline.txt")), PropertiesReader::LoadResult::Loaded);
  EXPECT_EQ(r.get("Long").value_or("").size(), 10u * 1024 * 1024);
  ASSERT_EQ(r.load(dir.path("backslashes.txt")), PropertiesReader::LoadResult::Loaded);
  // Linear work: well under a second in a release build. The bound only catches a reader that
  // goes quadratic (minutes), even under sanitizers on a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
}
