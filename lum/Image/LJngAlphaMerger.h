// Merges a decoded alpha record into a JNG's colour rows as the JPEG bridge
// delivers them, while they are still in the cache, instead of in a second
// pass over the image.
#pragma once

#include <atomic>
#include <cstddef>

#include "lum/Image/LLoader_Image_JPG_Base.h"
#include "lum/LData_Image.h"

namespace lum {

class LJngAlphaMerger : public LLoader_Image_JPG_Base::RowListener {
 public:
  // alpha must fit image (JngAlphaFits) by the time it is merged. When
  // alphaReady is given, the alpha is still being decoded elsewhere: rows
  // delivered before the flag is set wait, and are merged with the first
  // rows delivered after, or by Finish.
  LJngAlphaMerger(const LData_Image& alpha, LData_Image& image, const std::atomic<bool>* alphaReady = nullptr);
  ~LJngAlphaMerger() override;
  LJngAlphaMerger(const LJngAlphaMerger&) = delete;
  LJngAlphaMerger& operator=(const LJngAlphaMerger&) = delete;

  // Rows arrive in order, top to bottom, each once.
  void RowsReady(int firstRow, int rowCount) override;

  // With the alpha complete: merges the rows still waiting, then gives the
  // image its format with alpha. A four-component image keeps its bytes.
  void Finish();

 private:
  void MergeRows(int endRow);
  void MergeRange(int firstRow, int endRow) const;

  const LData_Image& m_alpha;
  LData_Image& m_image;
  const std::atomic<bool>* m_alphaReady;
  size_t m_width;
  int m_mergedRows;
  int m_deliveredRows;
  unsigned char* m_interleaved;
};

}  // namespace lum
