#include "meshio/writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include "meshio/numtext.h"
#include "model/store.h"

namespace meshthin {

namespace fs = std::filesystem;

namespace {

std::string lastError() {
    return std::strerror(errno);
}

bool anyWriteBit(fs::perms permissions) {
    return (permissions & (fs::perms::owner_write | fs::perms::group_write |
                           fs::perms::others_write)) != fs::perms::none;
}

// A file next to the target that takes the new content; removed again unless committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target) {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 16 && file == nullptr; ++attempt) {
            path = target.parent_path() / ("." + target.filename().string() + ".meshthin-" +
                                           std::to_string(random() % 1000000) + ".tmp");
            file = std::fopen(path.c_str(), "wbx");  // exclusive: never reuse a stray file
            if (file == nullptr && errno != EEXIST) {
                break;
            }
        }
        if (file == nullptr) {
            throw Failure("Cannot create a file in " + target.parent_path().string() + ": " +
                          lastError());
        }
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
        if (!committed) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }

    void write(std::string_view content) {
        if (std::fwrite(content.data(), 1, content.size(), file) != content.size() ||
            std::fflush(file) != 0) {
            throw Failure("Writing the file failed: " + lastError());
        }
        const int closed = std::fclose(file);
        file = nullptr;
        if (closed != 0) {
            throw Failure("Writing the file failed: " + lastError());
        }
    }

    void commitAs(const fs::path& target, const fs::file_status& previous) {
        std::error_code error;
        if (fs::exists(previous)) {
            fs::permissions(path, previous.permissions(), error);  // keep the file's permissions
        }
        fs::rename(path, target, error);
        if (error) {
            throw Failure("Cannot replace " + target.string() + ": " + error.message());
        }
        committed = true;
    }

private:
    fs::path path;
    std::FILE* file = nullptr;
    bool committed = false;
};

// Refuses, before anything is written, the targets that a direct write would have refused.
// The permission bits are checked as such, so that the refusal does not depend on who runs
// the program.
fs::path checkedTarget(const std::string& target, fs::file_status& previous) {
    std::error_code error;
    fs::path path(target);
    previous = fs::status(path, error);
    if (fs::exists(previous)) {
        if (!fs::is_regular_file(previous)) {
            throw Failure("Not a regular file: " + target);
        }
        path = fs::canonical(path, error);  // write through a link to the file it names
        if (error) {
            throw Failure("Cannot resolve " + target + ": " + error.message());
        }
        if (!anyWriteBit(previous.permissions())) {
            throw Failure("Permission denied: " + target + " is read-only");
        }
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::file_status folderStatus = fs::status(folder, error);
    if (!fs::is_directory(folderStatus)) {
        throw Failure("Path not found: " + folder.string());
    }
    if (!anyWriteBit(folderStatus.permissions())) {
        throw Failure("Permission denied: the folder " + folder.string() + " is read-only");
    }
    if (!path.has_parent_path()) {
        path = fs::path(".") / path;
    }
    return path;
}

// Lets pending window events run often enough for the window to stay responsive (every 10 ms),
// without paying for an event round trip before every single line.
class EventPump {
public:
    explicit EventPump(Window& window) : window(window) {}

    void operator()() {
        const auto now = std::chrono::steady_clock::now();
        if (now - last >= std::chrono::milliseconds(10)) {
            window.processEvents();
            last = std::chrono::steady_clock::now();
        }
    }

private:
    Window& window;
    std::chrono::steady_clock::time_point last{};
};

}  // namespace

std::string meshHeader() {
    const std::string quote = "\"";
    return "object { " + quote + "object01" + quote + "  mesh {    name { " + quote + "mesh01" +
           quote + " } base { origin { (-2.2923 3.7249 0) } } material { " + quote +
           "-- default --" + quote +
           " } smoothangle { 45 } /* 362 points, 360 faces, 573 uvCoords */ materiallist { "
           "materialname { " +
           quote + " -- default --" + quote + " } } points {";
}

void writeMeshText(std::ostream& out, const NumberCodec& numbers,
                   const std::function<void()>& beforeItem,
                   const std::function<void(const std::string&)>& caption) {
    caption("Writing file header");
    out << meshHeader() << "\r\n";

    caption("writing points");
    NextPtOrder = 0;
    for (long long i = 0; i <= spareSlot(); ++i) {
        beforeItem();
        Points(i).writeOut(out, numbers);
    }
    out << "}"
        << "faces {\r\n";

    caption("writing faces");
    const long long lastFace = Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        beforeItem();
        Faces(f).writeOut(out);
    }
    for (int i = 0; i < 3; ++i) {
        out << " } \r\n";
    }
}

void replaceFile(const std::string& target, const std::function<void(std::ostream&)>& produce) {
    if (target.empty()) {
        throw Failure("No file name was given");
    }
    fs::file_status previous;
    const fs::path path = checkedTarget(target, previous);
    TemporaryFile temporary(path);
    std::ostringstream content;
    produce(content);
    temporary.write(content.view());
    temporary.commitAs(path, previous);
}

void WriteMesh(Window& window) {
    try {
        const std::optional<std::string> target = window.saveDialog();
        if (!target) {
            return;  // Cancel means the user does not want the file written
        }
        const numtext::LocaleNumbers numbers(window.decimalSeparator());
        EventPump pump(window);
        replaceFile(*target, [&](std::ostream& out) {
            writeMeshText(out, numbers, pump,
                          [&](const std::string& text) { window.setButtonCaption(text); });
        });
    } catch (const std::exception& thrown) {
        window.messageBox(std::string(kWriteErrorPrefix) + describe(thrown));
    }
}

}  // namespace meshthin
