// What the Windows layer's files share: the lock that keeps drawing and the
// give-back apart (Ctrl-C handlers and the once-a-second tick run on other
// threads), and the keys of the console read on a thread of their own.
#pragma once

#include <string>

// Held while a thread draws or gives the console back. `drawing` is false
// once the console has been given back: nothing more may be drawn.
class ConsoleGuard {
public:
    ConsoleGuard();
    ~ConsoleGuard();
    ConsoleGuard(const ConsoleGuard &) = delete;
    ConsoleGuard &operator=(const ConsoleGuard &) = delete;
    bool drawing() const;
};

// Takes the lock, waiting at most a second for a drawing thread that is
// stuck (a console paused by a selection), and marks the console as given
// back; the caller gives it back and then calls console_given_back_unlock.
void console_give_back_lock();
void console_given_back_unlock();

// Drawing allowed again: the console has been taken (anew).
void console_taken();

// The console's cells are unknown again (it has been taken anew).
void console_cells_forget();

// Places a shown cursor where the program left it: called when the program
// polls or pauses.
void console_place_cursor();

// A key typed on the console, or -1 when none is waiting. The first call
// starts the thread that reads the console.
int console_next_key();

// Drops keys typed and not yet read: those the reader holds and those still
// in the console's buffer, so that they do not reach the shell at exit.
// From then on keys are dropped as they are read, until the console is
// taken again (console_keys_wanted).
void console_drop_unread_keys();
void console_keys_wanted();

// UTF-8 text to a standard handle: as UTF-16 on a console, else unchanged.
void console_write_text(unsigned long standard_handle, const std::string &utf8);

// UTF-8 to UTF-16 and back.
std::wstring widen(const std::string &utf8);
std::string narrow(const std::wstring &wide);
