// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the bundled sample meshes into the folder given as the only argument.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/mesh_generators.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_examples FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    auto save = [&](const char* name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    namespace gen = meshthin::generate;
    save("cube.mesh", gen::cube());
    save("sphere.mesh", gen::sphere(12, 24, 0.04, 1));
    save("grid.mesh", gen::grid(30, 30, 1.5, 2));
    save("sphere-large.mesh", gen::sphereWithAbout(4000, 3));
    return 0;
}
