#include "lum/LImageSaveOptions.h"

#include <cstring>

#include "kor/ErrorDescription.h"

namespace lum {

namespace {

const char* const KEYWORDS[LImageSaveOptions::TEXT_NUM] = {
    "Title",    "Author",     "Description", "Copyright", "Creation Time",
    "Software", "Disclaimer", "Warning",     "Source",    "Comment"};

bool IsSet(const kor::UString& text) { return text.m_arrayNum > 1; }

// Appends bytes that may include zeros; the string keeps one terminator
// after them, so its length stays the count of bytes appended so far.
void AppendBytes(kor::UString& block, const void* bytes, int count) {
  int start = block.m_arrayNum > 0 ? block.m_arrayNum - 1 : 0;
  block.Grow(block.m_arrayNum > 0 ? count : count + 1);
  std::memcpy(block.m_array + start, bytes, static_cast<size_t>(count));
  block.m_array[block.m_arrayNum - 1] = 0;
}

// The bytes followed by one zero byte.
void AppendTerminated(kor::UString& block, const void* bytes, int count) {
  AppendBytes(block, bytes, count);
  const unsigned char zero = 0;
  AppendBytes(block, &zero, 1);
}

void AppendTerminated(kor::UString& block, const kor::UString& text) {
  AppendTerminated(block, text.m_array, text.GetLength());
}

}  // namespace

LImageSaveOptions::LImageSaveOptions() : compression(0.0f), alphaAsJpeg(false), alphaCompression(0.0f) {}

const kor::UString& LImageSaveOptions::GetText(int index) const {
  const kor::UString* const texts[TEXT_NUM] = {&title,    &author,     &description, &copyright,
                                               &creationTime, &software, &disclaimer, &warning,
                                               &source,   &comment};
  assure(index >= 0 && index < TEXT_NUM);
  return *texts[index];
}

const char* LImageSaveOptions::GetKeyword(int index) {
  assure(index >= 0 && index < TEXT_NUM);
  return KEYWORDS[index];
}

int LImageSaveOptions::CountSetTexts() const {
  int count = 0;
  for (int index = 0; index < TEXT_NUM; ++index)
    if (IsSet(GetText(index))) ++count;
  return count;
}

kor::UString LImageSaveOptions::ConcatenateTexts() const {
  kor::UString block;
  for (int index = 0; index < TEXT_NUM; ++index)
    if (IsSet(GetText(index))) AppendTerminated(block, GetText(index));
  return block;
}

kor::UString LImageSaveOptions::BuildTextBlock() const {
  kor::UString block;
  for (int index = 0; index < TEXT_NUM; ++index) {
    if (!IsSet(GetText(index))) continue;
    AppendTerminated(block, KEYWORDS[index], static_cast<int>(std::strlen(KEYWORDS[index])));
    AppendTerminated(block, GetText(index));
  }
  return block;
}

// Out-of-range settings are held to the ends of the scale first: libjpeg
// clamps the quality the same way, and the conversion to an integer stays
// defined even for a NaN.
int LImageSaveOptions::JpegQuality(float compression) {
  if (!(compression > 0.0f)) compression = 0.0f;
  if (compression > 1.0f) compression = 1.0f;
  return static_cast<int>((1.0f - compression) * 100.0f);
}

}  // namespace lum
