"""Comparing a terminal's screen with the frame it was sent: mean colours of regions."""


def region_mean(pixels, stride, channels, x0, y0, x1, y1):
    """Mean R, G, B of [x0, x1) × [y0, y1) in an image `stride` pixels wide."""
    total = [0, 0, 0]
    for y in range(y0, y1):
        row = pixels[(y * stride + x0) * channels:(y * stride + x1) * channels]
        for channel in range(3):
            total[channel] += sum(row[channel::channels])
    return [value / ((x1 - x0) * (y1 - y0)) for value in total]


def close_enough(seen, expected, tolerance):
    return max(abs(a - b) for a, b in zip(seen, expected)) <= tolerance
