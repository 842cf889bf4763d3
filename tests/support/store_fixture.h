// SPDX-License-Identifier: GPL-3.0-or-later
// Shared ground for the tests: a fresh mesh for every test, meshes made from text, and small
// file helpers (the folder and whole-file ones in temp_files.h).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "meshio/numtext.h"
#include "model/mesh.h"
#include "model/run_observer.h"
#include "support/temp_files.h"

namespace meshthin::testing {

// Records the diagnostic texts of the work on a mesh while it listens.
class LogRecorder : public RunObserver {
public:
    explicit LogRecorder(std::vector<std::string>& logged) : logged(logged) {}
    bool listening() const override { return on; }
    void log(const std::string& text) override { logged.push_back(text); }

    bool on = true;

private:
    std::vector<std::string>& logged;
};

// Every test starts from an empty mesh, its diagnostic texts recorded.
class StoreTest : public ::testing::Test {
protected:
    StoreTest();

    // Puts an empty mesh in place of mesh, its texts still recorded.
    void freshMesh();
    // Loads a mesh text (lines joined with "\n") into mesh.
    void load(const std::string& text, char separator = '.');
    // Loads and runs the start-up passes.
    void loadAndAnalyze(const std::string& text);
    // Stops recording, so that the rest of the test runs as the program does, with nobody
    // listening.
    void stopListening();

    Mesh mesh;
    // The diagnostic texts the work on mesh sent since the test began.
    std::vector<std::string> logged;
    // The texts shown through showMessage, the message callback the tests hand to Face::getX.
    std::vector<std::string> shown;
    const std::function<void(const std::string&)> showMessage = [this](const std::string& text) {
        shown.push_back(text);
    };
    numtext::LocaleNumbers dotNumbers{'.'};

private:
    LogRecorder recorder{logged};
};

// A mesh file text: a first line, "points {", one point group per line, "}", "faces {", one
// face line per face ("3 ( (0) (1) (2) )"), "}".
std::string meshText(const std::vector<std::string>& points, const std::vector<std::string>& faces);

// Point p's connection list, entry by entry.
std::vector<PointNumber> listOf(const Mesh& mesh, PointNumber p);
// Adds the numbers to point p's list one by one with addConn, then closes the run with doneAdd.
void connect(Mesh& mesh, PointNumber p, const std::vector<PointNumber>& to);
// Every coordinate and every face report of mesh, or what is absent: two meshes that
// summarise alike hold the same points and faces.
std::string meshSummary(const Mesh& mesh);
// A mesh read from a mesh file's text ("." numbers), start-up passes run.
Mesh loadedMesh(const std::string& text);
// Every bit of a settled mesh that a later run or write reads: coordinates, values, marks,
// lists, output numbers, face reports.
std::string meshBits(const Mesh& mesh);

// The names in a folder, sorted: a test compares them to see that nothing was left behind.
std::vector<std::string> namesIn(const std::filesystem::path& folder);
std::vector<std::string> crlfLines(const std::string& content);

}  // namespace meshthin::testing
