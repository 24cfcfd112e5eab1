// Writes a file in full or not at all. The bytes go to a new file beside the
// target, which takes the target's name only once every byte has reached it;
// until then, and whenever something fails (a full disk, a write that comes
// back short, an exception part-way), the file that was there stays as it was
// and the new file is removed again.
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"

namespace kor {

class UFileReplacement {
 public:
  // Creates the new file; GetStream tells whether that worked.
  UFileReplacement(IFileSystem& files, const UBaseString<unsigned char>& target);
  UFileReplacement(const UFileReplacement&) = delete;
  UFileReplacement& operator=(const UFileReplacement&) = delete;
  // Removes the new file unless Commit put it in place.
  ~UFileReplacement();

  // The stream on the new file; null when none could be made beside the target.
  IOutputStream* GetStream() const { return m_writer; }
  // Closes the new file and moves it over the target: true when every byte
  // reached the file and it now stands under the target's name. Either way
  // the stream is gone afterwards.
  bool Commit();

 private:
  void Discard();

  IFileSystem& m_files;
  UBaseString<unsigned char> m_target;
  UBaseString<unsigned char> m_temporary;
  IOutputStream* m_writer;
};

}  // namespace kor
