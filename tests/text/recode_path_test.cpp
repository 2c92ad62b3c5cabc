// The recoders' vector path: its names, what PAGORA_RECODE_PATH asks for and what a processor
// that lacks the asked-for path does instead.
#include "text/recode_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pagora {
namespace {

// The recoding tests run once more per path with PAGORA_RECODE_PATH set (tests/text's
// CMakeLists.txt). On a processor that cannot run the path they are skipped rather than quietly
// passing on the fallback path, which the ordinary run tests already.
class ForcedPathThisProcessorLacks : public testing::Environment {
 public:
  void SetUp() override {
    const char* requested = std::getenv("PAGORA_RECODE_PATH");
    if (requested == nullptr || *requested == '\0') return;
    const auto path = parseRecodePath(requested);
    if (path && !recodePathRuns(*path)) {
      GTEST_SKIP() << "this processor cannot run the " << requested << " recoding path";
    }
  }
};
testing::Environment* const kForcedPathCheck =
    testing::AddGlobalTestEnvironment(new ForcedPathThisProcessorLacks);

TEST(RecodePath, NamesReadBackAndNothingElseIsAPath) {
  for (RecodePath path :
       {RecodePath::Scalar, RecodePath::Sse2, RecodePath::Ssse3, RecodePath::Avx2}) {
    EXPECT_EQ(parseRecodePath(recodePathName(path)), path) << recodePathName(path);
  }
  for (const char* name : {"", "AVX2", "avx", "sse", "avx2 ", "neon", "scalar\n"}) {
    EXPECT_EQ(parseRecodePath(name), std::nullopt) << '"' << name << '"';
  }
}

TEST(RecodePath, ScalarAlwaysRunsAndTheFastestRuns) {
  EXPECT_TRUE(recodePathRuns(RecodePath::Scalar));
  EXPECT_TRUE(recodePathRuns(fastestRecodePath()));
#if PAGORA_RECODE_SSE2
  EXPECT_TRUE(recodePathRuns(RecodePath::Sse2));
#endif
  // Each path needs what the slower ones need: a processor that runs one runs all below it.
  EXPECT_TRUE(!recodePathRuns(RecodePath::Avx2) || recodePathRuns(RecodePath::Ssse3));
  EXPECT_TRUE(!recodePathRuns(RecodePath::Ssse3) || recodePathRuns(RecodePath::Sse2));
}

TEST(RecodePath, ChoiceFromTheEnvironmentValue) {
  const RecodePath fastest = fastestRecodePath();
  const std::string fastestName = recodePathName(fastest);
  struct Case {
    const char* requested;
    RecodePath want;
    std::string note;
  };
  std::vector<Case> cases = {
      {nullptr, fastest, ""},
      {"", fastest, ""},
      {"scalar", RecodePath::Scalar, ""},
      {"avx512", fastest,
       "PAGORA_RECODE_PATH=\"avx512\" names no recoding path (scalar, sse2, ssse3, avx2); using " +
           fastestName},
      {"AVX2", fastest,
       "PAGORA_RECODE_PATH=\"AVX2\" names no recoding path (scalar, sse2, ssse3, avx2); using " +
           fastestName},
  };
  for (RecodePath path : {RecodePath::Sse2, RecodePath::Ssse3, RecodePath::Avx2}) {
    const std::string name = recodePathName(path);
    if (recodePathRuns(path)) {
      cases.push_back({recodePathName(path), path, ""});
    } else {
      cases.push_back(
          {recodePathName(path), fastest,
           "PAGORA_RECODE_PATH=" + name + ": this processor cannot run it; using " + fastestName});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested ? c.requested : "(unset)");
    std::string note = "left over";
    EXPECT_EQ(chooseRecodePath(c.requested, note), c.want);
    EXPECT_EQ(note, c.note);
  }
}

TEST(RecodePath, TheEnvironmentForcesThePathInUse) {
  const char* requested = std::getenv("PAGORA_RECODE_PATH");
  std::string note;
  EXPECT_EQ(activeRecodePath(), chooseRecodePath(requested, note));
  // A path that runs here is taken as asked.
  const auto named = parseRecodePath(requested ? requested : "");
  if (named && recodePathRuns(*named)) {
    EXPECT_EQ(activeRecodePath(), *named) << recodePathName(activeRecodePath());
  }
}

}  // namespace
}  // namespace pagora
