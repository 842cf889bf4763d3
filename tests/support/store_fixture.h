// SPDX-License-Identifier: GPL-3.0-or-later
// Shared ground for the tests: a fresh store for every test, meshes made from text, and small
// file helpers (the folder and whole-file ones in temp_files.h).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "meshio/numtext.h"
#include "model/mesh.h"
#include "support/temp_files.h"

namespace meshthin::testing {

// Every test starts from the absent store and leaves no observers behind.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a mesh text (lines joined with "\n") into the store.
    void load(const std::string& text, char separator = '.');
    // Loads and runs the start-up passes.
    void loadAndAnalyze(const std::string& text);
    // Removes the diagnostic observer, so that the rest of the test runs as the program does,
    // with nobody listening.
    void stopListening();
    // The diagnostic texts sent to logMessage since the test began.
    std::vector<std::string> logged;
    // The texts shown through the message hook.
    std::vector<std::string> shown;
    numtext::LocaleNumbers dotNumbers{'.'};
};

// A mesh file text: a first line, "points {", one point group per line, "}", "faces {", one
// face line per face ("3 ( (0) (1) (2) )"), "}".
std::string meshText(const std::vector<std::string>& points, const std::vector<std::string>& faces);

// Point p's connection list, entry by entry.
std::vector<int16_t> listOf(int16_t p);
// Adds the numbers to point p's list one by one with addConn, then closes the run with doneAdd.
void connect(int16_t p, const std::vector<int16_t>& to);
// Every coordinate and every face report of the store, or what is absent: two stores that
// summarise alike hold the same mesh.
std::string storeSummary();

// The names in a folder, sorted: a test compares them to see that nothing was left behind.
std::vector<std::string> namesIn(const std::filesystem::path& folder);
std::vector<std::string> crlfLines(const std::string& content);

}  // namespace meshthin::testing
