"""The grid of many models: its layout, picking a cell, and the contact sheet's text."""

import pytest

from facetview.grid import Layout, fitted_layout, wrapped


@pytest.mark.parametrize("count, cols, rows, layout", [
    (3, 120, 30, (3, 40, 30)),  # wide: side by side
    (2, 60, 40, (1, 60, 20)),  # tall in pixels, a cell being twice as high as wide: one above the other
    (4, 100, 50, (2, 50, 25)),  # square-ish pictures: two by two
    (7, 10, 3, (7, 1, 3)),  # far too small: still a cell each
])
def test_layout_gives_the_largest_pictures(count, cols, rows, layout):
    assert fitted_layout(count, cols, rows) == Layout(*layout)


def test_a_click_picks_the_cell_under_it():
    layout = Layout(per_row=3, cell_cols=20, cell_rows=10, left=2, top=1)
    picks = {(col, row): layout.index_at(col, row, 5) for col, row in
             [(2, 1), (21, 10), (22, 1), (61, 5), (62, 5), (25, 12), (45, 12), (1, 1)]}
    assert picks == {(2, 1): 0, (21, 10): 0, (22, 1): 1, (61, 5): 2, (62, 5): None, (25, 12): 4,
                     (45, 12): None, (1, 1): None}


@pytest.mark.parametrize("text, width, lines, pieces", [
    ("ASCII STL is not valid UTF-8", 10, 5, ["ASCII STL", "is not", "valid", "UTF-8"]),
    ("abcdefghij", 4, 2, ["abcd", "efgh"]),
    ("", 4, 2, []),
    ("wide 漢字漢字", 5, 3, ["wide", "漢字", "漢字"]),
])
def test_reasons_wrap_between_words_within_the_cell(text, width, lines, pieces):
    assert wrapped(text, width, lines) == pieces


def test_each_grid_cell_holds_exactly_its_own_picture(capfdbinary, monkeypatch):
    """Half-block cells of a grid, replayed: each picture is the frame its mesh gets alone over a
    viewport of its size, in its place; an empty cell and the rest show the gap colour."""
    from cell_text import replay_cells
    from facetview import Camera, Mesh, Surface, Viewport

    monkeypatch.setenv("COLORTERM", "truecolor")
    tetrahedron = Mesh.from_arrays([(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)],
                                   [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)], colors=[(200, 30, 30)] * 4)
    cells = [(Mesh.demo(), Camera(0.3, 0.8, 0.1, 1.2), Viewport(1, 0, 14, 9)),
             (tetrahedron, Camera.default(), Viewport(16, 2, 20, 7)),
             (None, Camera.default(), Viewport(37, 0, 5, 9))]
    capfdbinary.readouterr()
    Surface(protocol="blocks").render_grid(cells, Viewport(0, 0, 44, 10))
    grid = replay_cells(capfdbinary.readouterr().out, 44, 10)
    for mesh, camera, place in cells[:2]:
        Surface(protocol="blocks").render_to_terminal(mesh, camera, Viewport(0, 0, place.cols, place.rows))
        alone = replay_cells(capfdbinary.readouterr().out, place.cols, place.rows)
        assert [row[place.col:place.col + place.cols] for row in grid[place.row:place.row + place.rows]] == alone
    gap = grid[9][43]
    assert gap[0] == gap[1] is not None
    assert all(cell == gap for row in grid for cell in row[37:42])
