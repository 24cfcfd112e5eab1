#include "kor/CoreServices/Implementations/UMessageHold.h"

#include <cstring>

namespace kor {

namespace {

// Each thread's innermost hold: no other thread ever reads it.
thread_local UMessageHold* t_currentHold = nullptr;

}  // namespace

UMessageHold::Scope::Scope(UMessageHold& hold) : m_enclosing(t_currentHold) { t_currentHold = &hold; }

UMessageHold::Scope::~Scope() { t_currentHold = m_enclosing; }

UMessageHold* UMessageHold::Current() { return t_currentHold; }

void UMessageHold::Add(PieceKind kind, IMessageSink* channel, const char* text, int length) {
  Piece piece = {kind, channel, m_text.GetNum(), length};
  if (length > 0) {
    int start = m_text.Grow(length);
    std::memcpy(m_text.GetData() + start, text, static_cast<size_t>(length));
  }
  m_pieces.Add(piece);
}

void UMessageHold::Begin(IMessageSink* channel) { Add(PIECE_BEGIN, channel, nullptr, 0); }

void UMessageHold::Write(IMessageSink* channel, const UBaseString<unsigned char>& text) {
  Add(PIECE_WRITE, channel, text.GetText(), text.GetLength());
}

void UMessageHold::End(IMessageSink* channel) { Add(PIECE_END, channel, nullptr, 0); }

int UMessageHold::GetMessageNum() const {
  int count = 0;
  for (int i = 0; i < m_pieces.GetNum(); ++i) count += m_pieces[i].kind == PIECE_END;
  return count;
}

// Replays the message that ends at end: from the latest begin on its
// channel, the pieces on that channel (a message written while another was
// open on another channel lies among its pieces). The channel is closed
// again even when one of its listeners throws.
void UMessageHold::ReplayMessage(int end) {
  IMessageSink* channel = m_pieces[end].channel;
  int begin = end;
  while (begin > 0 && !(m_pieces[begin].kind == PIECE_BEGIN && m_pieces[begin].channel == channel)) --begin;
  channel->BeginMessage();
  struct Closer {
    IMessageSink* channel;
    ~Closer() noexcept(false) { channel->EndMessage(); }
  } closer{channel};
  for (int index = begin + 1; index < end; ++index) {
    const Piece& piece = m_pieces[index];
    if (piece.kind == PIECE_WRITE && piece.channel == channel)
      channel->Write(UBaseString<unsigned char>(m_text.GetData() + piece.textStart, piece.textLength));
  }
}

void UMessageHold::Replay() {
  // Replayed into itself, the hold would grow while it is read.
  assure(Current() != this);
  struct Emptier {
    UMessageHold* hold;
    ~Emptier() noexcept(false) {
      hold->m_pieces.Empty();
      hold->m_text.Empty();
    }
  } emptier{this};
  for (int index = 0; index < m_pieces.GetNum(); ++index)
    if (m_pieces[index].kind == PIECE_END) ReplayMessage(index);
}

}  // namespace kor
