// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/store_fixture.h"

#include <algorithm>
#include <sstream>

#include "meshio/loader.h"
#include "meshio/startup.h"

namespace meshthin::testing {

void StoreTest::SetUp() {
    resetStore();
    setLogObserver([this](const std::string& text) { logged.push_back(text); });
    setMessageHook([this](const std::string& text) { shown.push_back(text); });
}

void StoreTest::TearDown() {
    setLogObserver(nullptr);
    setMessageHook(nullptr);
    resetStore();
}

void StoreTest::load(const std::string& text, char separator) {
    std::istringstream in(text);
    readMesh(in, numtext::LocaleNumbers(separator));
}

void StoreTest::loadAndAnalyze(const std::string& text) {
    load(text);
    runStartupPasses();
}

void StoreTest::stopListening() {
    setLogObserver(nullptr);
}

std::string meshText(const std::vector<std::string>& points,
                     const std::vector<std::string>& faces) {
    std::string text = "a mesh made by a test\npoints {\n";
    for (const std::string& p : points) {
        text += p + "\n";
    }
    text += "}\nfaces {\n";
    for (const std::string& f : faces) {
        text += f + "\n";
    }
    text += "}\n}\n";  // the faces section's brace, then the object's
    return text;
}

std::vector<int16_t> listOf(int16_t p) {
    std::vector<int16_t> list;
    for (int16_t j = 0; j <= Points(p).getNumConns(); ++j) {
        list.push_back(Points(p).getConn(j));
    }
    return list;
}

void connect(int16_t p, const std::vector<int16_t>& to) {
    for (int16_t n : to) {
        Points(p).addConn(n);
    }
    Points(p).doneAdd();
}

std::string storeSummary() {
    std::ostringstream out;
    if (Points.exists()) {
        for (long long i = 0; i <= Points.upperBound(); ++i) {
            out << '(' << Points(i).getX() << ' ' << Points(i).getY() << ' ' << Points(i).getZ()
                << ')';
        }
    } else {
        out << "no points";
    }
    out << ' ';
    if (Faces.exists()) {
        for (long long f = 0; f <= Faces.upperBound(); ++f) {
            try {
                out << '[' << Faces(f).report() << ']';
            } catch (const Failure&) {
                out << "[a slot whose line failed]";  // no positions, yet lastPos 0
            }
        }
    } else {
        out << "no faces";
    }
    return out.str();
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> crlfLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < content.size()) {
        const size_t end = content.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(content.substr(at));
            break;
        }
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

}  // namespace meshthin::testing
