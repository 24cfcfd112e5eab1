// Messages held back instead of reaching the listeners of their channels,
// to be replayed later, possibly on another thread. Work handed to a thread
// of its own writes its messages into a hold, and the thread that called
// for the work replays them: a host sees every message on the thread that
// called it, in the order a caller doing the work itself would have said
// them.
#pragma once

#include "kor/CoreServices/Interfaces/IMessageSink.h"
#include "kor/Utils/UArray.h"

namespace kor {

class UMessageHold {
 public:
  UMessageHold() {}
  UMessageHold(const UMessageHold&) = delete;
  UMessageHold& operator=(const UMessageHold&) = delete;
  ~UMessageHold() noexcept(false) {}

  // While a scope lives, every message its thread begins on a channel goes
  // into the hold. Scopes nest on a thread; the innermost one holds.
  class Scope {
   public:
    explicit Scope(UMessageHold& hold);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

   private:
    UMessageHold* m_enclosing;
  };

  // The hold of the calling thread's innermost scope, or null.
  static UMessageHold* Current();

  // What a channel does with a held message instead of calling its
  // listeners: the message it has open is recorded piece by piece.
  void Begin(IMessageSink* channel);
  void Write(IMessageSink* channel, const UBaseString<unsigned char>& text);
  void End(IMessageSink* channel);

  // Sends the held messages to their channels on the calling thread, in the
  // order they were ended (as their listeners would have had their texts),
  // and empties the hold. A message that was never ended is not sent.
  void Replay();
  int GetMessageNum() const;

 private:
  enum PieceKind { PIECE_BEGIN, PIECE_WRITE, PIECE_END };
  struct Piece {
    PieceKind kind;
    IMessageSink* channel;
    int textStart;
    int textLength;
  };
  void Add(PieceKind kind, IMessageSink* channel, const char* text, int length);
  void ReplayMessage(int end);

  UArray<Piece> m_pieces;
  UArray<char> m_text;
};

}  // namespace kor
