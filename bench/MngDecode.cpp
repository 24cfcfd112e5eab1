#include "MngDecode.h"

#include <libmng.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

MngSession& SessionOf(mng_handle handle) { return *static_cast<MngSession*>(mng_get_userdata(handle)); }

mng_ptr MNG_DECL MngAlloc(mng_size_t size) { return std::calloc(1, size); }
void MNG_DECL MngFree(mng_ptr block, mng_size_t) { std::free(block); }
mng_bool MNG_DECL MngOpen(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL MngClose(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL MngRead(mng_handle handle, mng_ptr buffer, mng_uint32 size, mng_uint32p read) {
  MngSession& session = SessionOf(handle);
  size_t left = session.file->size() - session.position;
  *read = mng_uint32(std::min<size_t>(size, left));
  std::memcpy(buffer, session.file->data() + session.position, *read);
  session.position += *read;
  return MNG_TRUE;
}
mng_bool MNG_DECL MngHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
  MngSession& session = SessionOf(handle);
  session.width = width;
  session.height = height;
  session.canvas.resize(size_t(width) * height * 4);
  return MNG_TRUE;
}
mng_ptr MNG_DECL MngLine(mng_handle handle, mng_uint32 line) {
  MngSession& session = SessionOf(handle);
  return session.canvas.data() + size_t(line) * session.width * 4;
}
mng_bool MNG_DECL MngRefresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) { return MNG_TRUE; }
mng_uint32 MNG_DECL MngTicks(mng_handle) { return 0; }
mng_bool MNG_DECL MngTimer(mng_handle, mng_uint32) { return MNG_TRUE; }
mng_bool MNG_DECL MngError(mng_handle handle, mng_int32 code, mng_int8, mng_chunkid, mng_uint32, mng_int32, mng_int32,
                           mng_pchar text) {
  SessionOf(handle).error = "libmng error " + std::to_string(code) + ": " + (text ? text : "");
  return MNG_FALSE;
}

}  // namespace

bool MngDecode(MngSession& session) {
  session.position = 0;
  session.error.clear();
  mng_handle handle = mng_initialize(&session, MngAlloc, MngFree, MNG_NULL);
  if (handle == MNG_NULL) {
    session.error = "libmng cannot start";
    return false;
  }
  mng_setcb_errorproc(handle, MngError);
  mng_setcb_openstream(handle, MngOpen);
  mng_setcb_closestream(handle, MngClose);
  mng_setcb_readdata(handle, MngRead);
  mng_setcb_processheader(handle, MngHeader);
  mng_setcb_getcanvasline(handle, MngLine);
  mng_setcb_refresh(handle, MngRefresh);
  mng_setcb_gettickcount(handle, MngTicks);
  mng_setcb_settimer(handle, MngTimer);
  mng_set_canvasstyle(handle, MNG_CANVAS_RGBA8);
  mng_set_doprogressive(handle, MNG_FALSE);
  mng_retcode status = mng_readdisplay(handle);
  // libmng pauses while it shows a large image and after showing it, as
  // between animation frames; the clock stands still, so each pause ends at once.
  for (int pause = 0; status == MNG_NEEDTIMERWAIT && pause < 100000; ++pause) status = mng_display_resume(handle);
  mng_cleanup(&handle);
  if (status != MNG_NOERROR && session.error.empty()) session.error = "libmng status " + std::to_string(status);
  if (status == MNG_NOERROR && session.canvas.empty()) session.error = "libmng shows no image";
  return status == MNG_NOERROR && !session.canvas.empty();
}
