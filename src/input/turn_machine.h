#pragma once

// The turn as the scorer's hands make it: one owner for the phase of a turn (idle, countdown,
// closing, another workbook operation), for the gestures of the pointer on the tokens, and for
// the order in which a close, its record and a drop that came during it happen. The window
// forwards its events here and shows what the host is told; nothing here knows the toolkit.
//
// A turn closes exactly once: the phase leaves the countdown before the host is told anything
// that can let queued input run, and input that comes in while a close or an operation runs
// finds the phase busy. A drop that comes then is not refused: it waits, with its target fixed
// when it came, and is carried out when the turn has been recorded. A window close that comes
// then waits too; one that comes during a countdown records the turn first, as the end of the
// countdown would (a countdown cannot be cancelled, and the rally was played).

#include "board/board.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pellix {

enum class TurnPhase { Idle, Countdown, Closing, Operation };

// What lies under the pointer: a token, a court slot's area, or neither.
struct PointerTarget {
    enum class Kind { Nothing, Token, CourtSlot };
    Kind kind = Kind::Nothing;
    int index = 0;

    static PointerTarget token(int index) { return {Kind::Token, index}; }
    static PointerTarget courtSlot(int slot) { return {Kind::CourtSlot, slot}; }
    friend bool operator==(const PointerTarget&, const PointerTarget&) = default;
};

enum class Refusal {
    TurnNotANumber,   // the turn box does not read as a number
    TurnOutOfRange,   // a number, but not one a turn can be recorded under
    CourtIncomplete,  // a placeholder still stands on the court
    NotBetweenTurns,  // a workbook operation asked for during a countdown
    Busy,             // input while a close or an operation runs
    NoWorkbook,       // the workbook could not be opened at start-up: nothing can be recorded
};

// What the window does for the machine. The calls come in the order the machine makes them.
class TurnHost {
public:
    virtual ~TurnHost() = default;
    virtual std::string turnText() const = 0;
    // False after a start-up that could not open the workbook: nothing may write it.
    virtual bool workbookOpen() const = 0;
    // The last turn the workbook holds (its B19), 0 when none.
    virtual int lastRecordedTurn() const = 0;
    // Turn `turn` is below the last recorded one: the turns after it will be overwritten by the
    // next ones. True when the scorer goes ahead.
    virtual bool confirmRerecord(std::int16_t turn, int lastRecorded) = 0;
    // The countdown has started: the turn controls go off, the countdown shows, the timers run.
    virtual void countdownStarted() = 0;
    // A second of the countdown has passed.
    virtual void countdownTicked() = 0;
    // The turn closes, with `named` (0: nobody) as the player who missed: the timers stop and the
    // window shows the close and who was named.
    virtual void closeBegins(std::int16_t named) = 0;
    // Records turn `turn`; false when it failed, after telling the scorer why.
    virtual bool recordTurn(std::int16_t turn, std::int16_t named) = 0;
    // The controls return to idle; the turn box shows the next turn when `recorded`. Must not let
    // queued input run: drops that waited for the close are carried out after it.
    virtual void restoreIdleControls(std::int16_t turn, bool recorded) = 0;
    // The close is over and every waiting drop has been carried out; the status line may say so.
    virtual void closeEnded(std::int16_t turn, bool recorded) = 0;
    // Token `source` dropped on token `target`: the board exchanges them.
    virtual void carryOutDrop(int target, int source) = 0;
    // A token drag starts (the token's picture follows the pointer) or ends.
    virtual void dragStarted(int token) = 0;
    virtual void dragEnded() = 0;
    virtual void refused(Refusal why, const std::string& message) = 0;
    // The window close that waited may now go ahead.
    virtual void closeWindow() = 0;
    // Another workbook operation has begun (those who show the phase may say so).
    virtual void operationBegins() {}
};

class TurnMachine {
public:
    TurnMachine(const Board& board, TurnHost& host) : board_(board), host_(host) {}
    TurnMachine(const TurnMachine&) = delete;
    TurnMachine& operator=(const TurnMachine&) = delete;

    TurnPhase phase() const { return phase_; }

    // The decide button, the countdown's seconds and its end, the miss button, a court slot click.
    // A countdown that ends while a drag is held names the player the drag names at that moment.
    void decide();
    void tick();
    void timeUp();
    void missButton();
    void courtSlotClicked(int slot);

    // The pointer on a token: pressed, moved (beyond the distance that starts a drag or not, over
    // `under`), released over `under`. A press and release without a drag is a click on the token.
    // During a countdown a drag names the court player it is released on (his token or his slot),
    // else the last court player it crossed; the turn closes at the release, and the drop follows
    // once the turn is recorded, so a drag released on the player who missed also substitutes.
    void press(int token);
    void move(bool beyondDragDistance, PointerTarget under);
    void release(PointerTarget under);
    // The pointer was taken away (a grab lost, a second button): the drag ends without a drop.
    void cancelGesture();
    bool dragging() const { return gesture_.dragging; }

    // A token dropped.
    void drop(PointerTarget target, int source);

    // Another workbook operation (the display switch, the reset): only between turns.
    bool beginOperation();
    void endOperation();

    // ≪ and ≫: the turn to record next is only stepped while there is a workbook to record it in.
    bool turnStepAllowed();

    // The window asks to close; true when it may close now.
    bool windowCloseRequested();

private:
    struct Gesture {
        int token = 0;  // 0: no press
        bool dragging = false;
        PointerTarget under;  // where the pointer was last seen
        int crossed = 0;      // the last court player the drag crossed during the countdown
    };
    struct Drop {
        int target;
        int source;
    };

    bool busy() const { return phase_ == TurnPhase::Closing || phase_ == TurnPhase::Operation; }
    // The court player a drag names if it ends over `under`; 0 for nobody.
    std::int16_t namedByDrag(const Gesture& gesture, PointerTarget under) const;
    // The token a drop on `target` lands on, fixed when the drop comes; 0 for none.
    int dropTarget(PointerTarget target) const;
    bool confirmedRerecord(std::int16_t turn);
    void close(std::int16_t named);
    void settle(bool closeWanted);
    void closeWindowIfWanted();

    const Board& board_;
    TurnHost& host_;
    TurnPhase phase_ = TurnPhase::Idle;
    std::int16_t turn_ = 0;
    Gesture gesture_;
    std::vector<Drop> waitingDrops_;
    bool windowCloseWanted_ = false;
};

}  // namespace pellix
