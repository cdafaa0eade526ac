"""Key bytes, as a terminal in raw mode sends them, to viewer actions."""

import pytest

from facetview.keys import Action as A, KeyDecoder


@pytest.mark.parametrize("reads, actions", [
    ([b"\x1b[A\x1b[B\x1b[C\x1b[D"], [A.TURN_UP, A.TURN_DOWN, A.TURN_RIGHT, A.TURN_LEFT]),
    ([b"\x1bOA\x1bOD"], [A.TURN_UP, A.TURN_LEFT]),  # application cursor mode
    ([b"kjhl"], [A.TURN_UP, A.TURN_DOWN, A.TURN_LEFT, A.TURN_RIGHT]),
    ([b"+=-_"], [A.ZOOM_IN, A.ZOOM_IN, A.ZOOM_OUT, A.ZOOM_OUT]),
    ([b"123 r"], [A.QUALITY_LOW, A.QUALITY_MEDIUM, A.QUALITY_HIGH, A.TOGGLE_PAUSE, A.RESET_CAMERA]),
    ([b"q\x03Q"], [A.QUIT, A.QUIT, A.QUIT]),
    ([b"x\x1b[200~\x1b[Hz\x1bq"], [A.QUIT]),  # unknown keys and sequences are skipped
    # A sequence with a modifier, split across reads, waits until it is complete.
    *[([b"\x1b[1;5Cq"[:split], b"\x1b[1;5Cq"[split:]], [A.TURN_RIGHT, A.QUIT]) for split in range(1, 7)],
])
def test_keys_become_actions(reads, actions):
    decoder = KeyDecoder()
    assert [action for data in reads for action in decoder.feed(data)] == actions
