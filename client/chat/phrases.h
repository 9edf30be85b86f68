// Quick phrases: two lists read from the phrase file into the phrase window
// huifu; a double click sends the phrase with its list and number, so that
// every client shows it from its own lists in a bubble and with a voice.
#pragma once

#include <string>

namespace tavren {

struct Client;
struct SmallForm;

// A bad "num" in the phrase file cannot make a list longer than this.
inline constexpr int kMaxPhrases = 200;

// The phrase window, built and filled from the phrase file on first use.
SmallForm& LoadPhraseWindow(Client& c);
// Phrase `index` (from 0) of list 1 or 2; empty when there is none.
std::string PhraseAt(Client& c, int list, int index);
// imgword1 (list 1) or imgword2 (list 2) clicked: opens, switches or closes the window.
void OpenPhraseList(Client& c, int list);
void HidePhraseWindow(Client& c);

}  // namespace tavren
