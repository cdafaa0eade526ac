"""The grid of many models: its layout, picking a cell, and the contact sheet's text."""

import pytest

from facetview.grid import Layout, fitted_layout, wrapped


@pytest.mark.parametrize("count, cols, rows, per_row", [
    (3, 120, 30, 3),   # wide: side by side
    (3, 40, 60, 1),    # tall: one above the other
    (4, 100, 50, 2),   # square-ish pictures: two by two
    (1, 80, 24, 1),
    (7, 10, 3, 7),     # far too small: still a cell each
])
def test_layout_gives_the_largest_pictures(count, cols, rows, per_row):
    layout = fitted_layout(count, cols, rows)
    assert layout.per_row == per_row
    assert layout.per_row * layout.cell_cols <= max(cols, count)
    last_col, last_row = layout.cell(count - 1)
    assert last_row + layout.cell_rows <= max(rows, 1) or layout.cell_rows == rows


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
