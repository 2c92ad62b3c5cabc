// The ADT container: exact bytes of header and records, validation, overwrite rules, wrapping
// and unwrapping archives, and what a failure leaves behind.
#include "adt/adt_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <unistd.h>

#include <csignal>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data_generator.h"
#include "temp_folder.h"

namespace pagora {
namespace {

const unsigned char kKey[20] = {0x5A, 0x13, 0xC7, 0x2E, 0x91, 0x08, 0xF4, 0x6B, 0x3D, 0xA2,
                                0x7E, 0x19, 0xD5, 0x40, 0x8C, 0x37, 0xE6, 0x52, 0x0B, 0x99};

class AdtTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_ / name; }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> files() const { return dir_.names(); }
  static std::int32_t int32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<std::int32_t>(v);
  }
  static void putInt32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
  }
  static std::string Message(const std::function<void()>& f) {
    try {
      f();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no failure)";
  }

  testing_support::TempFolder dir_{"pagora-adt-"};
};

TEST_F(AdtTest, SevenThousandByteArchiveGivesThreeRecordsExactly) {
  const std::string archive = testing_support::randomBytes<std::string>(1, 7000);
  Write(Path("book.lzh"), archive);
  ASSERT_EQ(CopyArchiveToAdt(Path("book.lzh"), Path("book.lzh.adt")), std::nullopt);
  const std::string adt = Read(Path("book.lzh.adt"));
  ASSERT_EQ(adt.size(), 7268u);

  std::string header(256, '\0');
  std::memcpy(header.data(), "CASIO ADDIN DATAFILE\x1A\x00", 22);
  putInt32(header, 22, 7268);
  putInt32(header, 26, 3);
  std::memcpy(header.data() + 30, "book.lzh", 8);
  EXPECT_EQ(adt.substr(0, 256), header);

  std::size_t at = 256;
  std::size_t from = 0;
  for (std::int32_t length : {3072, 3072, 856}) {
    EXPECT_EQ(int32At(adt, at), length);
    for (std::int32_t i = 0; i < length; ++i) {
      const auto stored = static_cast<unsigned char>(adt[at + 4 + i]);
      const auto data = static_cast<unsigned char>(archive[from + i]);
      ASSERT_EQ(stored, data ^ kKey[i % 20]) << "record at " << at << " byte " << i;
    }
    at += 4 + length;
    from += length;
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"book.lzh", "book.lzh.adt"}));

  TAdtFile file(Path("book.lzh.adt"), TAdtFile::OpenMode::Open);
  EXPECT_EQ(file.RecordCount(), 3);
  EXPECT_EQ(file.bookNameText(), "book.lzh");
  EXPECT_EQ(file.RecordOffset(-1), 256);
  EXPECT_EQ(file.RecordOffset(0), 256);
  EXPECT_EQ(file.RecordOffset(2), 256 + 2 * (4 + 3072));
  EXPECT_EQ(Message([&] { file.RecordOffset(3); }), "Invalid record number");
  EXPECT_EQ(file.readRecord(2), archive.substr(6144));
}

TEST_F(AdtTest, KeyBytesAreStoredAsZerosAndEveryRecordStartsAtTheKeysStart) {
  const std::string key(reinterpret_cast<const char*>(kKey), 20);
  {
    TAdtFile file(Path("k.adt"), TAdtFile::OpenMode::Create);
    file.WriteRecord(-1, key.data(), 20);
    file.WriteRecord(-1, key.data(), 20);
    file.WriteRecord(-1, key.data(), 0);
  }
  const std::string adt = Read(Path("k.adt"));
  ASSERT_EQ(adt.size(), 256u + 24 + 24 + 4);
  EXPECT_EQ(adt.substr(260, 20), std::string(20, '\0'));
  EXPECT_EQ(adt.substr(284, 20), std::string(20, '\0'));
  EXPECT_EQ(int32At(adt, 304), 0);
  EXPECT_EQ(int32At(adt, 26), 3);

  char buffer[3] = {1, 2, 3};
  TAdtFile::ScrambleRecord(buffer, 3);
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 1 ^ 0x5A);
  TAdtFile::ScrambleRecord(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), std::string("\1\2\3", 3));
}

TEST_F(AdtTest, EmptyArchiveGivesAHeaderThatOpeningRejects) {
  Write(Path("empty.lzh"), "");
  ASSERT_EQ(CopyArchiveToAdt(Path("empty.lzh"), Path("empty.lzh.adt")), std::nullopt);
  const std::string adt = Read(Path("empty.lzh.adt"));
  ASSERT_EQ(adt.size(), 256u);
  EXPECT_EQ(int32At(adt, 22), 0);
  EXPECT_EQ(int32At(adt, 26), 0);
  EXPECT_EQ(Message([&] { TAdtFile(Path("empty.lzh.adt"), TAdtFile::OpenMode::Open); }),
            "Invalid ADT file");
  EXPECT_EQ(Read(Path("empty.lzh.adt")), adt) << "a rejected file is not changed";
}

TEST_F(AdtTest, DamagedHeadersAreRejected) {
  Write(Path("a.lzh"), testing_support::randomBytes<std::string>(2, 100));
  ASSERT_EQ(CopyArchiveToAdt(Path("a.lzh"), Path("a.adt")), std::nullopt);
  const std::string good = Read(Path("a.adt"));
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"size field one too small", [](std::string& b) { putInt32(b, 22, 359); }},
      {"size field one too large", [](std::string& b) { putInt32(b, 22, 361); }},
      {"a byte appended", [](std::string& b) { b.push_back('x'); }},
      {"lower-case magic", [](std::string& b) { b[0] = 'c'; }},
      {"no 0x1A", [](std::string& b) { b[20] = 0x1B; }},
      {"no zero after 0x1A", [](std::string& b) { b[21] = 'x'; }},
      {"zero inside the magic", [](std::string& b) { b[5] = 0; }},
      {"shorter than a header", [](std::string& b) { b.resize(255); }},
      {"one byte", [](std::string& b) { b.assign(1, 'C'); }},  // not = "C": GCC 12 -Wrestrict
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    Write(Path("bad.adt"), bytes);
    EXPECT_EQ(Message([&] { TAdtFile(Path("bad.adt"), TAdtFile::OpenMode::Open); }),
              "Invalid ADT file")
        << c.what;
    EXPECT_EQ(Read(Path("bad.adt")), bytes) << c.what;
    EXPECT_FALSE(inspectAdtFile(Path("bad.adt")).valid) << c.what;
    EXPECT_EQ(inspectAdtFile(Path("bad.adt")).hasHeader, bytes.size() >= 256 && bytes[0] == 'C' &&
                                                             bytes[5] != 0 && bytes[20] == 0x1A &&
                                                             bytes[21] == 0)
        << c.what;
  }
  TAdtFile ok(Path("a.adt"), TAdtFile::OpenMode::Read);
  EXPECT_EQ(ok.RecordCount(), 1);
  EXPECT_EQ(ok.bookNameText(), "a");
}

TEST_F(AdtTest, OverwritingARecord) {
  const std::string a = testing_support::randomBytes<std::string>(3, 10),
                    b = testing_support::randomBytes<std::string>(4, 10),
                    c = testing_support::randomBytes<std::string>(5, 10);
  {
    TAdtFile file(Path("o.adt"), TAdtFile::OpenMode::Create);
    file.WriteRecord(-1, a.data(), 10);
    file.WriteRecord(-1, b.data(), 10);
  }
  const std::string before = Read(Path("o.adt"));
  {
    TAdtFile file(Path("o.adt"), TAdtFile::OpenMode::Open);
    EXPECT_EQ(Message([&] { file.WriteRecord(1, c.data(), 11); }),
              "Expanding record not yet implemented");
    EXPECT_EQ(Message([&] { file.WriteRecord(1, c.data(), 9); }),
              "Compacting record not yet implemented");
    EXPECT_EQ(Message([&] { file.WriteRecord(2, c.data(), 10); }), "Invalid record number");
    EXPECT_EQ(Read(Path("o.adt")), before) << "a refused overwrite changes nothing";
    std::string copy = c;
    file.WriteRecord(1, copy.data(), 10);
    EXPECT_EQ(copy, c) << "the caller's data is not scrambled";
    EXPECT_EQ(file.RecordCount(), 2);
    EXPECT_EQ(file.readRecord(0), a);
    EXPECT_EQ(file.readRecord(1), c);
  }
  const std::string after = Read(Path("o.adt"));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(0, 256 + 14 + 4), before.substr(0, 256 + 14 + 4));
  EXPECT_EQ(int32At(after, 22), static_cast<std::int32_t>(after.size()));
}

TEST_F(AdtTest, BookNames) {
  struct Case {
    std::string file;
    std::string name;
  } cases[] = {
      {"C:\\Books\\war.lzh.adt", "war.lzh"},
      {"/home/u/war.lzh.ADT", "war.lzh"},
      {"/home/u/my.adt.d/book.lzh.adt", "my"},  // cut at the folder holding ".adt"
      {"/home/u/book.lzh", ""},                 // no ".ADT": no name
      {"D:book.adt", "book"},
      {std::string(30, 'x') + ".adt", std::string(24, 'x')},
      // Code page 1251, one byte a letter: the whole name fits where UTF-8 was cut in a letter.
      {"/b/Анна Каренина.lzh.adt", "\xC0\xED\xED\xE0 \xCA\xE0\xF0\xE5\xED\xE8\xED\xE0.lzh"},
      // 24 letters, not 24 bytes of UTF-8; the stem gives way to the extension.
      {"/b/Война и мир, том первый.lzh.adt",
       "\xC2\xEE\xE9\xED\xE0 \xE8 \xEC\xE8\xF0, \xF2\xEE\xEC \xEF\xE5\xF0.lzh"},
      {std::string(23, 'x') + "Жук.adt", std::string(23, 'x') + "\xC6"},
      {"/b/Ёжик.lzh.adt", "\xA8\xE6\xE8\xEA.lzh"},
      {"/b/日本.lzh.adt", "??.lzh"},                            // characters 1251 lacks
      {"/b/\xCA\xED\xE8\xE3\xE0.adt", "\xCA\xED\xE8\xE3\xE0"},  // not UTF-8: as it is
      {"/b/a\xD0.adt", "a\xD0"},  // a cut letter left by some other program
  };
  for (const Case& c : cases) {
    const auto field = TAdtFile::bookNameFor(c.file);
    std::string expected = c.name;
    expected.resize(24, '\0');
    EXPECT_EQ(std::string(field.begin(), field.end()), expected) << c.file;
  }
  // A new file's header carries the name; a full 24 bytes leave no zero after them.
  const std::string longName = Path(std::string(30, 'y') + ".lzh.adt");
  { TAdtFile file(longName, TAdtFile::OpenMode::Create); }
  const std::string header = Read(longName);
  EXPECT_EQ(header.size(), 256u);
  EXPECT_EQ(header.substr(30, 24), std::string(20, 'y') + ".lzh");
  EXPECT_EQ(header.substr(54), std::string(202, '\0'));

  // The header of a wrapped book holds the converted name; opening gives it back.
  Write(Path("Анна Каренина.lzh"), testing_support::randomBytes<std::string>(9, 10));
  ASSERT_EQ(CopyArchiveToAdt(Path("Анна Каренина.lzh"), Path("Анна Каренина.lzh.adt")),
            std::nullopt);
  const std::string wrapped = Read(Path("Анна Каренина.lzh.adt"));
  const std::string expected = "\xC0\xED\xED\xE0 \xCA\xE0\xF0\xE5\xED\xE8\xED\xE0.lzh";
  EXPECT_EQ(wrapped.substr(30, 24), expected + std::string(24 - expected.size(), '\0'));
  EXPECT_EQ(inspectAdtFile(Path("Анна Каренина.lzh.adt")).bookName, expected);
  EXPECT_EQ(TAdtFile(Path("Анна Каренина.lzh.adt"), TAdtFile::OpenMode::Read).bookNameText(),
            expected);
}

TEST_F(AdtTest, CopyReportsItsFailuresAndKeepsAnOlderFile) {
  EXPECT_EQ(CopyArchiveToAdt(Path("missing.lzh"), Path("m.adt")),
            "Error on open input file: Cannot open file " + Path("missing.lzh"));
  EXPECT_EQ(files(), std::vector<std::string>{});

  Write(Path("b.lzh"), testing_support::randomBytes<std::string>(6, 5000));
  EXPECT_EQ(CopyArchiveToAdt(Path("b.lzh"), Path("no/such/b.adt")),
            "Error on create destination ADT file: Cannot create file " + Path("no/such/b.adt"));

  // A folder is neither an archive to read nor a place to put the ADT file; each is reported
  // under its own heading, before anything is written.
  ASSERT_EQ(CopyArchiveToAdt(Path("b.lzh"), Path("b.adt")), std::nullopt);
  const std::string good = Read(Path("b.adt"));
  std::filesystem::create_directory(Path("folder.lzh"));
  EXPECT_EQ(CopyArchiveToAdt(Path("folder.lzh"), Path("b.adt")),
            "Error on open input file: Cannot open file " + Path("folder.lzh"));
  std::filesystem::create_directory(Path("folder.adt"));
  EXPECT_EQ(CopyArchiveToAdt(Path("b.lzh"), Path("folder.adt")),
            "Error on create destination ADT file: Cannot create file " + Path("folder.adt"));
  EXPECT_TRUE(std::filesystem::is_empty(Path("folder.adt")));
  EXPECT_EQ(Read(Path("b.adt")), good);
  EXPECT_EQ(files(), (std::vector<std::string>{"b.adt", "b.lzh", "folder.adt", "folder.lzh"}));

  // A copy that fails part way (writes refused past 3000 bytes) keeps the good file and leaves
  // no partial one. (Windows has no file size limit to set; this case is not run there.)
#ifndef _WIN32
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit limit{}, saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = 3000;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const auto failure = CopyArchiveToAdt(Path("b.lzh"), Path("b.adt"));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->rfind("Error on copy: Cannot write file ", 0), 0u) << *failure;
  EXPECT_EQ(Read(Path("b.adt")), good);
  EXPECT_EQ(files(), (std::vector<std::string>{"b.adt", "b.lzh", "folder.adt", "folder.lzh"}));
#endif
}

TEST_F(AdtTest, UnwrapRefusesFoldersOnEitherSide) {
  Write(Path("e.lzh"), testing_support::randomBytes<std::string>(8, 100));
  ASSERT_EQ(CopyArchiveToAdt(Path("e.lzh"), Path("e.adt")), std::nullopt);
  std::filesystem::create_directory(Path("dir"));
  EXPECT_EQ(Message([&] { extractArchiveFromAdt(Path("e.adt"), Path("dir")); }),
            "Cannot create file " + Path("dir"));
  EXPECT_EQ(Message([&] { extractArchiveFromAdt(Path("dir"), Path("out.lzh")); }),
            "Cannot open file " + Path("dir"));
  EXPECT_EQ(Message([&] { inspectAdtFile(Path("dir")); }), "Cannot open file " + Path("dir"));
  EXPECT_EQ(files(), (std::vector<std::string>{"dir", "e.adt", "e.lzh"}));
}

TEST_F(AdtTest, TwoHundredThousandEmptyRecordsUnwrapToAnEmptyArchive) {
  // 800 KB of nothing but record lengths: read record by record from the start, this took
  // minutes; read in one pass it is over at once.
  const std::int32_t count = 200000;
  std::string bytes(256 + 4 * static_cast<std::size_t>(count), '\0');
  std::memcpy(bytes.data(), "CASIO ADDIN DATAFILE\x1A\x00", 22);
  putInt32(bytes, 22, static_cast<std::uint32_t>(bytes.size()));
  putInt32(bytes, 26, count);
  Write(Path("empty-records.adt"), bytes);
  const AdtInfo info = inspectAdtFile(Path("empty-records.adt"));
  EXPECT_TRUE(info.valid) << info.problem;
  EXPECT_EQ(info.recordCount, count);
  EXPECT_EQ(info.dataSize, 0);
  EXPECT_EQ(extractArchiveFromAdt(Path("empty-records.adt"), Path("out.lzh")), 0);
  EXPECT_EQ(Read(Path("out.lzh")), "");
}

TEST_F(AdtTest, RecordsOfEveryLengthComeBackInOrder) {
  // Empty records, records shorter and longer than the key's period, and records larger than
  // any read buffer, mixed: the unwrapped archive is their concatenation.
  const std::int32_t lengths[] = {0,    1,    19,     20, 21, 0,       3072,  4099,
                                  4100, 4101, 300000, 0,  7,  1 << 20, 65536, 2};
  std::string all;
  {
    TAdtFile file(Path("mixed.adt"), TAdtFile::OpenMode::Create);
    unsigned seed = 20;
    for (std::int32_t length : lengths) {
      const std::string data =
          testing_support::randomBytes<std::string>(++seed, static_cast<std::size_t>(length));
      file.WriteRecord(-1, data.data(), length);
      all += data;
    }
  }
  // The stored bytes are the data combined with the key, restarting at every record.
  const std::string stored = Read(Path("mixed.adt"));
  std::size_t at = 256;
  std::size_t from = 0;
  for (std::int32_t length : lengths) {
    ASSERT_EQ(int32At(stored, at), length);
    for (std::int32_t i = 0; i < length; ++i) {
      ASSERT_EQ(static_cast<unsigned char>(stored[at + 4 + i]),
                static_cast<unsigned char>(all[from + i]) ^ kKey[i % 20])
          << "record of " << length << " bytes, byte " << i;
    }
    at += 4 + static_cast<std::size_t>(length);
    from += static_cast<std::size_t>(length);
  }
  EXPECT_EQ(extractArchiveFromAdt(Path("mixed.adt"), Path("mixed.lzh")),
            static_cast<std::int64_t>(all.size()));
  EXPECT_EQ(Read(Path("mixed.lzh")), all);
  EXPECT_EQ(inspectAdtFile(Path("mixed.adt")).dataSize, static_cast<std::int64_t>(all.size()));
}

TEST_F(AdtTest, WrapAndUnwrapRoundTrip) {
  for (std::size_t size : {1u, 3071u, 3072u, 3073u, 7000u, 100000u}) {
    const std::string archive =
        testing_support::randomBytes<std::string>(static_cast<unsigned>(size), size);
    Write(Path("r.lzh"), archive);
    ASSERT_EQ(CopyArchiveToAdt(Path("r.lzh"), Path("r.lzh.adt")), std::nullopt) << size;
    const AdtInfo info = inspectAdtFile(Path("r.lzh.adt"));
    EXPECT_TRUE(info.valid) << info.problem;
    EXPECT_EQ(info.recordCount, static_cast<std::int32_t>((size + 3071) / 3072));
    EXPECT_EQ(info.dataSize, static_cast<std::int64_t>(size));
    EXPECT_EQ(info.fileSize, static_cast<std::int64_t>(256 + size + 4 * info.recordCount));
    EXPECT_EQ(info.bookName, "r.lzh");
    EXPECT_EQ(extractArchiveFromAdt(Path("r.lzh.adt"), Path("back.lzh")),
              static_cast<std::int64_t>(size));
    EXPECT_EQ(Read(Path("back.lzh")), archive) << size;
  }
}

TEST_F(AdtTest, UnwrapRefusesDamagedFilesAndWritesNothing) {
  Write(Path("c.lzh"), testing_support::randomBytes<std::string>(7, 4000));
  ASSERT_EQ(CopyArchiveToAdt(Path("c.lzh"), Path("c.adt")), std::nullopt);
  const std::string good = Read(Path("c.adt"));
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* problem;
  } cases[] = {
      {"a record longer than the file", [](std::string& b) { putInt32(b, 256 + 4 + 3072, 2000); },
       "record 1 runs past the end of the file"},
      {"a negative length", [](std::string& b) { putInt32(b, 256, 0xFFFFFFFF); },
       "record 0 runs past the end of the file"},
      {"more records counted than stored", [](std::string& b) { putInt32(b, 26, 3); },
       "record 2 lies past the end of the file"},
      {"bytes after the last record", [](std::string& b) { putInt32(b, 26, 1); },
       "932 bytes after the last record"},
  };
  Write(Path("old.lzh"), "previous archive");
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    Write(Path("bad.adt"), bytes);
    const AdtInfo info = inspectAdtFile(Path("bad.adt"));
    EXPECT_FALSE(info.valid) << c.what;
    EXPECT_EQ(info.problem, c.problem) << c.what;
    EXPECT_EQ(Message([&] { extractArchiveFromAdt(Path("bad.adt"), Path("old.lzh")); }),
              std::string("Invalid ADT file: ") + c.problem);
    EXPECT_EQ(Read(Path("old.lzh")), "previous archive") << c.what;
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"bad.adt", "c.adt", "c.lzh", "old.lzh"}));
}

TEST_F(AdtTest, ReadOnlyOpeningRefusesWrites) {
  Write(Path("d.lzh"), "abc");
  ASSERT_EQ(CopyArchiveToAdt(Path("d.lzh"), Path("d.adt")), std::nullopt);
  const std::string before = Read(Path("d.adt"));
  TAdtFile file(Path("d.adt"), TAdtFile::OpenMode::Read);
  EXPECT_THROW(file.WriteRecord(-1, "x", 1), EAdtFileError);
  EXPECT_THROW(file.WriteHeader(), EAdtFileError);
  EXPECT_EQ(Read(Path("d.adt")), before);
  EXPECT_EQ(Message([&] { TAdtFile(Path("none.adt"), TAdtFile::OpenMode::Open); }),
            "Cannot open file " + Path("none.adt"));
}

}  // namespace
}  // namespace pagora
