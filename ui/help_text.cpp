// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_text.h"

#include <QCoreApplication>

namespace meshthin {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("meshthin::Form1", text);
}

}  // namespace

QString helpHtml() {
    return tr(
        "<h2>Thinning a mesh</h2>"
        "<ol>"
        "<li>Open a mesh file (File &gt; Open, or drop it on the window). The lists show every "
        "point, its value and its connections, and every face.</li>"
        "<li>Choose a threshold with the slider (0 to 1) or type any number in the text box; "
        "the statistics count the points whose value lies below it now.</li>"
        "<li>Click <b>Attempt Reduction</b>. Every point below the threshold is removed, the "
        "faces around it become one polygon of its neighbours, and the save dialog asks where "
        "the reduced mesh goes (Cancel writes nothing).</li>"
        "<li>Took too much? Edit &gt; Undo Reduction puts the mesh on screen back as it was "
        "before the run. Undo changes no file: save the restored mesh with the next run or "
        "with File &gt; Save As.</li>"
        "</ol>"
        "<h2>The value</h2>"
        "<p>A point's value is the length of the sum of the unit vectors from its connected "
        "points towards it. It is near 0 where the neighbours lie evenly around the point, as "
        "in a flat, evenly meshed region, and grows at tips, edges and corners, up to the "
        "number of connections. So it may exceed 1: type a larger threshold to go beyond the "
        "slider. Each removal values the neighbours again, and the walk tests later points on "
        "their new values, so a run may remove fewer points than the statistics count.</p>"
        "<h2>Shortcuts</h2>"
        "<table>"
        "<tr><td>Ctrl+O</td><td>Open another mesh</td></tr>"
        "<tr><td>Ctrl+Shift+S</td><td>Save the mesh on screen as</td></tr>"
        "<tr><td>Ctrl+Z</td><td>Undo the last reduction</td></tr>"
        "<tr><td>Ctrl+Shift+Z</td><td>Redo it</td></tr>"
        "<tr><td>Escape</td><td>Stop the run in progress: the mesh stays as it was before "
        "it and nothing is written</td></tr>"
        "<tr><td>Ctrl+Q</td><td>Quit (a run in progress stops and writes nothing)</td></tr>"
        "<tr><td>F3</td><td>Show or hide the mesh view: the mesh in 3D coloured by value, "
        "red on the points a run at the threshold would remove (dots, or the surface tinted "
        "where they would crowd); its Keep field (Alt+K) finds the threshold that keeps a "
        "number of points, or a share such as 25%</td></tr>"
        "<tr><td>F1</td><td>This help</td></tr>"
        "<tr><td>Tab</td><td>Move between the lists, the text box, the button and the "
        "slider</td></tr>"
        "<tr><td>Left, Right, Page Up, Page Down, Home, End</td><td>Move the slider</td></tr>"
        "</table>"
        "<h2>File formats</h2>"
        "<p>meshthin opens OBJ, PLY (ascii and binary), OFF and STL files as well as its own "
        "brace format, and writes each by the extension of the name you give: .obj, .ply "
        "(binary; .ascii.ply for ascii), .off, .stl, anything else in the brace format. "
        "Polygons stay polygons; STL holds triangles only, so polygons are cut into triangles "
        "there. Colours and normals of the points are kept; texture coordinates and corner "
        "normals cannot follow a removal and are not written (the first write says so). The "
        "brace format holds at most 32,767 points; the others have no limit.</p>"
        "<h2>Command line</h2>"
        "<pre>meshthin FILE\n"
        "meshthin -t 0.3 -t 0.5 -o thin.mesh FILE\n"
        "meshthin -t 0.3 -o thin.obj scan.ply\n"
        "meshthin --threshold 0.3 --in-place FILE\n"
        "meshthin -t 0.3 -O thinned/ FILE...\n"
        "meshthin --keep 25% -o thin.obj scan.ply\n"
        "meshthin --values FILE &gt; values.csv</pre>"
        "<p>Each threshold is one run; the result of the last is written to the output file, "
        "or with -O into the folder, each file under its own name, several at once. "
        "--keep N (or P%) instead finds the threshold whose run keeps the number of points "
        "closest to N and runs it. "
        "No display is needed. See <code>man meshthin</code>.</p>");
}

QString aboutHtml() {
    return tr("<h3>meshthin %1</h3>"
              "<p>Thins out a polygon mesh by hand.</p>"
              "<p>Copyright &copy; 2026 The meshthin developers</p>"
              "<p>meshthin is free software: you can redistribute it and/or modify it under the "
              "terms of the GNU General Public License as published by the Free Software "
              "Foundation, either version 3 of the License, or (at your option) any later "
              "version. It comes with ABSOLUTELY NO WARRANTY.</p>")
        .arg(QStringLiteral(MESHTHIN_VERSION));
}

}  // namespace meshthin
