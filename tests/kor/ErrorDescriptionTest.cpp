#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UArray.h"

using kor::ErrorDescription;

namespace {

ErrorDescription Make(const char* function, const char* message = "m", const char* file = "f.cpp") {
  return ErrorDescription(7, file, function, message);
}

}  // namespace

TEST(ErrorDescription, MessageIsCutAt1023Characters) {
  std::string exact(1023, 'x');
  std::string longer(5000, 'y');
  ErrorDescription whole = Make("f", exact.c_str());
  ErrorDescription cut = Make("f", longer.c_str());
  EXPECT_EQ(exact, whole.GetMessage());
  EXPECT_EQ(std::string(1023, 'y'), cut.GetMessage());
  EXPECT_EQ(std::string(1023, 'y'), Make("f", std::string(1024, 'y').c_str()).GetMessage());
  EXPECT_STREQ("f.cpp", cut.GetFile());
  EXPECT_EQ(7, cut.GetLine());
  EXPECT_EQ(0, cut.GetType());
  EXPECT_STREQ("UNKNOWN", cut.GetTypeName());
}

TEST(ErrorDescription, NullTextsBecomeEmpty) {
  ErrorDescription error(3, nullptr, nullptr, nullptr);
  EXPECT_STREQ("", error.GetMessage());
  EXPECT_STREQ("", error.GetFile());
  EXPECT_STREQ("", error.GetHistory());
}

TEST(ErrorDescription, FileDropsEverythingUpToTheFirstColon) {
  EXPECT_STREQ("\\src\\kor\\ErrorDescription.cpp",
               Make("f", "m", "d:\\src\\kor\\ErrorDescription.cpp").GetFile());
  EXPECT_STREQ(".\\CoreServices\\Interfaces\\ICoreServices",
               Make("f", "m", ".\\CoreServices\\Interfaces\\ICoreServices").GetFile());
  EXPECT_STREQ("b:c", Make("f", "m", "a:b:c").GetFile());
  std::string longFile(400, 'p');
  EXPECT_EQ(std::string(259, 'p'), Make("f", "m", longFile.c_str()).GetFile());
}

TEST(ErrorDescription, HistoryStartsWithTheRaisingFunction) {
  EXPECT_STREQ("kor::f()", Make("kor::f").GetHistory());
  std::string name4093(4093, 'n');
  EXPECT_EQ(name4093 + "()", Make(name4093.c_str()).GetHistory());
  std::string name4094(4094, 'n');
  EXPECT_EQ(name4094, Make(name4094.c_str()).GetHistory());
  std::string huge(9000, 'n');
  EXPECT_EQ(std::string(4095, 'n'), Make(huge.c_str()).GetHistory());
}

TEST(ErrorDescription, AppendHistoryJoinsEntriesAndKeepsTheRest) {
  ErrorDescription inner = Make("inner", "boom");
  ErrorDescription outer = ErrorDescription::AppendHistory(inner, "outer");
  EXPECT_STREQ("inner() <- outer()", outer.GetHistory());
  EXPECT_STREQ("boom", outer.GetMessage());
  EXPECT_EQ(7, outer.GetLine());

  // An empty history gets no leading separator.
  ErrorDescription anonymous = Make(nullptr);
  EXPECT_STREQ("first()", ErrorDescription::AppendHistory(anonymous, "first").GetHistory());
  EXPECT_STREQ(" <- (unknown)", ErrorDescription::AppendHistory(anonymous, "").GetHistory());
  EXPECT_STREQ("inner() <- (unknown)", ErrorDescription::AppendHistory(inner, nullptr).GetHistory());
}

TEST(ErrorDescription, FullHistoryStaysTerminatedWithin4096Bytes) {
  std::string name(4000, 'a');
  ErrorDescription error = Make(name.c_str());  // 4002 characters
  std::string appended(100, 'z');
  error = ErrorDescription::AppendHistory(error, appended.c_str());
  EXPECT_EQ((name + "() <- " + appended).substr(0, 4095), error.GetHistory());
  for (int i = 0; i < 10; ++i) {
    error = ErrorDescription::AppendHistory(error, "more");
    error = ErrorDescription::AppendHistory(error, nullptr);
  }
  EXPECT_EQ(4095u, std::string(error.GetHistory()).size());
}

TEST(ErrorDescription, EntryCutPieceByPieceWhenItDoesNotFitWhole) {
  // 4088 + 2 = 4090 characters: the next entry no longer fits whole.
  std::string history(4088, 'h');
  ErrorDescription error = Make(history.c_str());
  ErrorDescription next = ErrorDescription::AppendHistory(error, "xy");
  EXPECT_EQ(history + "() <- x", next.GetHistory());
}

TEST(ErrorDescription, ReportTemplateNamesTypeMessageAndHistory) {
  EXPECT_STREQ("Type:\r\n%s\r\n\r\nMessage:\r\n%s\r\n\r\nHistory:\r\n%s",
               ErrorDescription::REPORT_TEMPLATE);
}

namespace {

int CheckedHalf(int value) {
  assure(value % 2 == 0);
  return value / 2;
}

int GuardedHalf(int value) {
  KOR_GUARD_BEGIN
  return CheckedHalf(value);
  KOR_GUARD_END
}

int GuardedStdFailure() {
  KOR_GUARD_BEGIN
  throw std::runtime_error("not ours");
  KOR_GUARD_END
}

template <class T>
struct Holder {
  void Fail() { assure(sizeof(T) == 0); }
};

}  // namespace

TEST(Assure, PassesSilentlyAndRaisesWithTheConditionText) {
  EXPECT_EQ(2, CheckedHalf(4));
  try {
    CheckedHalf(3);
    FAIL();
  } catch (const ErrorDescription& error) {
    EXPECT_STREQ("'assure' failed: value % 2 == 0", error.GetMessage());
    EXPECT_NE(nullptr, std::strstr(error.GetFile(), "ErrorDescriptionTest.cpp"));
    EXPECT_STREQ("{anonymous}::CheckedHalf()", error.GetHistory());
  }
}

TEST(Assure, RecordsTemplateArgumentsOfTheFunction) {
  try {
    Holder<unsigned char>().Fail();
    FAIL();
  } catch (const ErrorDescription& error) {
    EXPECT_STREQ("{anonymous}::Holder<unsigned char>::Fail()", error.GetHistory());
  }
}

TEST(FunctionGuard, AddsItsFunctionToThePassingError) {
  EXPECT_EQ(3, GuardedHalf(6));
  try {
    GuardedHalf(5);
    FAIL();
  } catch (const ErrorDescription& error) {
    EXPECT_STREQ("{anonymous}::CheckedHalf() <- {anonymous}::GuardedHalf()", error.GetHistory());
    EXPECT_STREQ("'assure' failed: value % 2 == 0", error.GetMessage());
  }
}

TEST(FunctionGuard, TurnsOtherExceptionsIntoUnknownError) {
  try {
    GuardedStdFailure();
    FAIL();
  } catch (const ErrorDescription& error) {
    EXPECT_STREQ("unknown error", error.GetMessage());
    EXPECT_STREQ("{anonymous}::GuardedStdFailure()", error.GetHistory());
    EXPECT_GT(error.GetLine(), 0);
  }
}

TEST(FunctionName, KeepsPlainNamesAndStripsSignatures) {
  EXPECT_STREQ("kor::f", kor::FunctionNameText("kor::f").Get());
  EXPECT_STREQ("kor::UArray<unsigned char>::~UArray",
               kor::FunctionNameText("kor::UArray<T>::~UArray() [with T = unsigned char]").Get());
  EXPECT_STREQ("kor::UTable<int, float>::Insert",
               kor::FunctionNameText(
                   "bool kor::UTable<K, V>::Insert(const K&, const V&) [with K = int; V = float]")
                   .Get());
  EXPECT_STREQ("kor::CreateCoreServices_Default",
               kor::FunctionNameText("kor::ICoreServices* kor::CreateCoreServices_Default(int)").Get());
}
