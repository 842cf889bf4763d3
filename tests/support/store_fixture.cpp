// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/store_fixture.h"

#include <algorithm>
#include <sstream>

#include "meshio/loader.h"
#include "meshio/startup.h"

namespace meshthin::testing {

StoreTest::StoreTest() {
    mesh.setObserver(&recorder);
}

void StoreTest::freshMesh() {
    mesh = Mesh();
    mesh.setObserver(&recorder);
}

void StoreTest::load(const std::string& text, char separator) {
    std::istringstream in(text);
    readMesh(mesh, in, numtext::LocaleNumbers(separator));
}

void StoreTest::loadAndAnalyze(const std::string& text) {
    load(text);
    runStartupPasses(mesh);
}

void StoreTest::stopListening() {
    recorder.on = false;
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

std::vector<PointNumber> listOf(const Mesh& mesh, PointNumber p) {
    std::vector<PointNumber> list;
    const Point& point = mesh.Points(p);
    for (PointNumber j = 0; j <= point.getNumConns(); ++j) {
        list.push_back(point.getConn(mesh, j));
    }
    return list;
}

void connect(Mesh& mesh, PointNumber p, const std::vector<PointNumber>& to) {
    for (PointNumber n : to) {
        mesh.Points(p).addConn(mesh, n);
    }
    mesh.Points(p).doneAdd();
}

std::string meshSummary(const Mesh& mesh) {
    std::ostringstream out;
    if (mesh.Points.exists()) {
        for (long long i = 0; i <= mesh.Points.upperBound(); ++i) {
            out << '(' << mesh.Points(i).getX() << ' ' << mesh.Points(i).getY() << ' '
                << mesh.Points(i).getZ() << ')';
        }
    } else {
        out << "no points";
    }
    out << ' ';
    if (mesh.Faces.exists()) {
        for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
            try {
                out << '[' << mesh.Faces(f).report() << ']';
            } catch (const Failure&) {
                out << "[a slot whose line failed]";  // no positions, yet lastPos 0
            }
        }
    } else {
        out << "no faces";
    }
    return out.str();
}

std::string meshBits(const Mesh& mesh) {
    std::string bits;
    const auto add = [&bits](const auto& value) {
        bits.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    for (long long i = 0; i <= mesh.Points.upperBound(); ++i) {
        const Point& p = mesh.Points(i);
        add(p.getX());
        add(p.getY());
        add(p.getZ());
        add(p.getValue());
        add(p.removed());
        add(p.getPtOrder());
        add(p.everConnected());
        for (PointNumber k = 0; k <= p.getNumConns(); ++k) {
            add(p.getConn(mesh, k));
        }
        bits += '|';
    }
    for (long long f = 0; f <= mesh.Faces.upperBound(); ++f) {
        bits += mesh.Faces(f).report();
        bits += '|';
    }
    add(mesh.NextPtOrder);
    return bits;
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

Mesh loadedMesh(const std::string& text) {
    Mesh mesh;
    std::istringstream in(text);
    runStartupPasses(mesh, readMesh(mesh, in, numtext::LocaleNumbers('.')));
    return mesh;
}

}  // namespace meshthin::testing
