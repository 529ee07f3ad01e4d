// Animations made from short recipes, for the oracles of everything that
// composes or optimises: every disposal, transparent colours in and beyond
// the table, frames reaching past the screen, interlaced frames, own and
// global tables, frames that change nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/test_document.h"

namespace zell::test {

struct Recipe {
    const char* name;
    std::function<bool(DocumentBuilder&)> make;
    std::vector<uint8_t> gif = {}; // the stream it imports, if it is one
};
const std::vector<Recipe>& recipes();
const Recipe& recipe(const std::string& name);

// Calls `check` with every corpus GIF that giflib reads whole and zell
// imports (into `document`); returns how many, 0 without a corpus.
int forEachCorpusAnimation(const std::function<void(const std::vector<uint8_t>& gif, Document& document)>& check);

} // namespace zell::test
