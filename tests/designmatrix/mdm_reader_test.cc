#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "support/design_matrix_text.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

struct Case {
  const char* what;
  std::string bytes;
  std::string expected;  // testing::describe of the record read
};

class MdmReaderTest : public ::testing::Test {
 protected:
  // Each case reads the same with LF and with CR LF line ends, and logs nothing.
  void expectReads(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      EXPECT_EQ(testing::describe(MdmFile(dir.writeFile("lf.mdm", c.bytes))), c.expected) << c.what;
      const std::string crlf = testing::crLfLines(c.bytes);
      EXPECT_EQ(testing::describe(MdmFile(dir.writeFile("crlf.mdm", crlf))), c.expected) << c.what;
    }
    EXPECT_TRUE(log.lines().empty());
  }

  // The header as written, announcing `studies`.
  static std::string header(const std::string& type = "VTC", const std::string& studies = "2") {
    return "\nFileVersion:          3\nTypeOfFunctionalData: " + type +
           "\n\nRFX-GLM:              1\n\nPSCTransformation:    0\nzTransformation:      1\n"
           "SeparatePredictors:   2\n\nNrOfStudies:          " +
           studies + "\n";
  }
  static std::string allKeysAfter(const std::string& first) {
    return first +
           " TypeOfFunctionalData: VTC RFX-GLM: 1 PSCTransformation: 1 "
           "zTransformation: 1 SeparatePredictors: 1 NrOfStudies: 1\n\"f\" \"s\"\n";
  }

  testing::LogCapture log;
  testing::TempDir dir;
};

TEST_F(MdmReaderTest, HeaderWordsAndValues) {
  expectReads({
      {"written layout", header() + "\"D:\\f 1.vtc\" \"D:\\s1.sdm\"\n\"f2\" \"s2\"\n",
       "v3 VTC r1 p0 z1 s2 n2 | 'D:\\f 1.vtc' 'D:\\s1.sdm' | 'f2' 's2'"},
      {"any order",
       "SeparatePredictors: 4 zTransformation: 5 RFX-GLM: 6 TypeOfFunctionalData: "
       "FMR PSCTransformation: 7 FileVersion: 8 NrOfStudies: 1\n\"f\" \"s\"\n",
       "v8 FMR r6 p7 z5 s4 n1 | 'f' 's'"},
      {"unknown word", allKeysAfter("Extra FileVersion: 2"), "v2 VTC r1 p1 z1 s1 n0"},
      {"glued key", allKeysAfter("NrOfStudies:3 FileVersion: 2"), "v2 VTC r1 p1 z1 s1 n0"},
      {"byte order mark",
       allKeysAfter("\xEF\xBB\xBF"
                    "FileVersion: 2"),
       "v2 VTC r1 p1 z1 s1 n1 | 'f' 's'"},
      {"lone CR line ends",
       "\xEF\xBB\xBF\rFileVersion: 3\rTypeOfFunctionalData: VTC\rNrOfStudies: 2\r\"f1\" \"s1\"\r"
       "\"f2\" \"s2\"\r",
       "v3 VTC r0 p0 z0 s0 n2 | 'f1' 's1' | 'f2' 's2'"},
      {"unknown key and value", allKeysAfter("Note: x FileVersion: 2"), "v2 VTC r1 p1 z1 s0 n0"},
      {"count first", "NrOfStudies: 1 FileVersion: 3\n\"f\" \"s\"\n",
       "v0  r0 p0 z0 s0 n1 | 'f' 's'"},
      {"key as type value", "TypeOfFunctionalData: NrOfStudies: NrOfStudies: 1\n\"f\" \"s\"\n",
       "v0 NrOfStudies: r0 p0 z0 s0 n1 | 'f' 's'"},
      {"plus and zeros", "FileVersion: +05 RFX-GLM: 010 NrOfStudies: 08\n", "v5  r10 p0 z0 s0 n8"},
      {"hex value", allKeysAfter("FileVersion: 0x1A"), "v0 VTC r1 p1 z1 s1 n0"},
      {"not an integer", allKeysAfter("FileVersion: x"), "v0  r0 p0 z0 s0 n0"},
      {"too large", "RFX-GLM: 5 RFX-GLM: 2147483648 NrOfStudies: 1\n\"f\" \"s\"\n",
       "v0  r5 p0 z0 s0 n0"},
      {"too small", "RFX-GLM: 5 RFX-GLM: -2147483649 NrOfStudies: 1\n\"f\" \"s\"\n",
       "v0  r5 p0 z0 s0 n0"},
  });
}

TEST_F(MdmReaderTest, StudyLines) {
  expectReads({
      {"MTC keeps extra paths aligned",
       header("MTC", "3") + "\"e1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n\"e3\" \"f3\" \"s3\"\n",
       "v3 MTC r1 p0 z1 s2 n3 | 'e1' 'f1' 's1' | - 'f2' 's2' | 'e3' 'f3' 's3'"},
      {"six quotes outside MTC", header("mtc") + "\"e1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n",
       "v3 mtc r1 p0 z1 s2 n2 | 'f2' 's2'"},
      {"quotes counted, text kept verbatim",
       header("VTC", "5") +
           "\"f1\" \"s1\n\"\" \"\"\nx\" a b \"y\" s\\t \"z\n\"f\" \"s\" \"\n\"f5\"\"s5\"",
       "v3 VTC r1 p0 z1 s2 n5 | '' '' | ' a b ' ' s\\t ' | 'f5' 's5'"},
      {"empty line after the header", header() + "\n\"f1\" \"s1\"\n\"f2\" \"s2\"\n",
       "v3 VTC r1 p0 z1 s2 n2 | 'f1' 's1'"},
      {"fewer lines", header("VTC", "3") + "\"f1\" \"s1\"\n\"f2\" \"s2\"\n",
       "v3 VTC r1 p0 z1 s2 n3 | 'f1' 's1' | 'f2' 's2'"},
      {"fewer lines, no final line end", header("VTC", "3") + "\"f1\" \"s1\"\n\"f2\" \"s2\"",
       "v3 VTC r1 p0 z1 s2 n3 | 'f1' 's1' | 'f2' 's2'"},
      {"huge count", header("VTC", "2147483647") + "\"f1\" \"s1\"\n",
       "v3 VTC r1 p0 z1 s2 n2147483647 | 'f1' 's1'"},
      {"negative count", header("VTC", "-1") + "\"f1\" \"s1\"\n", "v3 VTC r1 p0 z1 s2 n-1"},
      {"text after the count", "NrOfStudies: 1 \"x\" \"y\"\n\"f\" \"s\"\n",
       "v0  r0 p0 z0 s0 n1 | 'f' 's'"},
      // Windows text mode would end the file at a 0x1A byte; here it is an ordinary byte.
      {"0x1A byte", header() + "\"f\x1A\" \"s1\"\n\"f2\" \"s2\"\n",
       "v3 VTC r1 p0 z1 s2 n2 | 'f\x1A' 's1' | 'f2' 's2'"},
      {"stated version -1 reads as 0", "FileVersion: -1 NrOfStudies: 1\n\"f\" \"s\"\n",
       "v0  r0 p0 z0 s0 n1 | 'f' 's'"},
  });
}

TEST_F(MdmReaderTest, NotesCountStudyLinesAgainstNrOfStudies) {
  const MdmFile fewer(dir.writeFile("a.mdm", header("VTC", "3") + "\"f\" \"s\"\nnot a study\n"));
  EXPECT_EQ(fewer.notes.studyLinesRead, 2);
  EXPECT_EQ(fewer.notes.skippedLines, std::vector<std::int64_t>{1});
  EXPECT_EQ(fewer.notes.skippedTexts, std::vector<std::string>{"not a study"});
  const MdmFile more(dir.writeFile("b.mdm", header("VTC", "1") + "\"f\" \"s\"\n\"g\" \"t\"\n \n"));
  EXPECT_EQ(more.notes.studyLinesRead, 1);
  EXPECT_TRUE(more.notes.textAfterStudies);
  EXPECT_EQ(more.sdmPaths, std::vector<std::string>{"s"});
}

TEST_F(MdmReaderTest, FileThatCannotBeOpenedLogsOneLineAndKeepsItsPath) {
  dir.writeFile("a.mdm", header() + "\"f\" \"s\"\n");
#ifdef _WIN32
  const std::string device = "NUL";
#else
  const std::string device = "/dev/null";
  ::mkfifo(dir.path("pipe.mdm").c_str(), 0600);  // refused without waiting for a writer
#endif
  const std::vector<std::string> paths = {
      dir.path("missing.mdm"),       "", dir.path(""), device, dir.path("pipe.mdm"),
      dir.path("a.mdm") + '\0' + "x"};
  for (const std::string& path : paths) {
    const MdmFile mdm(path);
    EXPECT_EQ(testing::describe(mdm), "unreadable") << path;
    EXPECT_EQ(mdm.path, path);
    EXPECT_EQ(log.lines().back(),
              "!!!  Failed opening MDM for reading: " + std::string(path.c_str()));
  }
  EXPECT_EQ(log.lines().size(), paths.size());
  EXPECT_EQ(log.lines()[1], "!!!  Failed opening MDM for reading: ");
}

}  // namespace
}  // namespace kelvora
