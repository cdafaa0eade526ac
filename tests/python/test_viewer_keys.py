"""Key bytes, as a terminal in raw mode sends them, to viewer actions."""

import pytest

from facetview.keys import Action, KeyDecoder

A = Action


@pytest.mark.parametrize(
    "data, actions",
    [
        (b"\x1b[A\x1b[B\x1b[C\x1b[D", [A.TURN_UP, A.TURN_DOWN, A.TURN_RIGHT, A.TURN_LEFT]),
        (b"\x1bOA\x1bOD", [A.TURN_UP, A.TURN_LEFT]),  # application cursor mode
        (b"\x1b[1;5C", [A.TURN_RIGHT]),  # with a modifier
        (b"kjhl", [A.TURN_UP, A.TURN_DOWN, A.TURN_LEFT, A.TURN_RIGHT]),
        (b"+=-_", [A.ZOOM_IN, A.ZOOM_IN, A.ZOOM_OUT, A.ZOOM_OUT]),
        (b"123 r", [A.QUALITY_LOW, A.QUALITY_MEDIUM, A.QUALITY_HIGH, A.TOGGLE_PAUSE, A.RESET_CAMERA]),
        (b"q\x03Q", [A.QUIT, A.QUIT, A.QUIT]),
        (b"x\x1b[200~\x1b[Hz\x1bq", [A.QUIT]),  # unknown keys and sequences are skipped
    ],
)
def test_keys_become_actions(data, actions):
    assert KeyDecoder().feed(data) == actions


@pytest.mark.parametrize("split", range(1, 6))
def test_sequence_split_across_reads_is_kept_until_complete(split):
    data = b"\x1b[1;2Dq"
    decoder = KeyDecoder()
    assert decoder.feed(data[:split]) + decoder.feed(data[split:]) == [A.TURN_LEFT, A.QUIT]
