#!/usr/bin/env python3
"""Draws the launcher's built-in pictures and its icon with ImageMagick.

    python3 make_images.py [OUT_DIR]      (default: this folder)

Writes splash.png (800x450 RGB), close.png (38x38 RGBA), logo_sheet.png
(1000x1968, 64 frames of 250x123 filled column by column), logo_hidden.png
(250x123) and app.ico (256 down to 16 pixels). Needs `convert` and the
fonts in ../fonts.
"""

import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = os.path.join(HERE, "..", "fonts")
BOLD = os.path.join(FONTS, "OpenSans-Bold.ttf")
LIGHT = os.path.join(FONTS, "OpenSans-Light.ttf")

FRAME_W, FRAME_H = 250, 123
ROWS, COLUMNS = 16, 4
FRAMES = ROWS * COLUMNS

BLUE = "#339bff"   # the progress bar's first colour
CYAN = "#77e1ff"   # and its last
INK = "#0a1222"


def run(*args):
    subprocess.run(["convert", *args], check=True)


def shield_path(x, y, w, h):
    """A heater shield with a raised centre on its top edge."""
    def p(u, v):
        return f"{x + u * w / 100:.2f},{y + v * h / 120:.2f}"
    return (f"M {p(50, 0)} L {p(100, 14)} L {p(100, 55)} "
            f"C {p(100, 90)} {p(75, 108)} {p(50, 120)} "
            f"C {p(25, 108)} {p(0, 90)} {p(0, 55)} L {p(0, 14)} Z")


def emblem_polygon(x, y, w, h):
    """The T monogram inside the shield, in shield units."""
    points = [(27, 34), (73, 34), (73, 46), (57, 46), (57, 84), (50, 94),
              (43, 84), (43, 46), (27, 46)]
    return " ".join(f"{x + u * w / 100:.2f},{y + v * h / 120:.2f}" for u, v in points)


def draw_shield(out, size_w, size_h, x, y, w, h, light, dark):
    """Gradient shield, dark inset, gradient monogram; transparent elsewhere."""
    inset = w * 0.085
    with tempfile.TemporaryDirectory() as tmp:
        grad = os.path.join(tmp, "grad.png")
        shape = os.path.join(tmp, "shape.png")
        run("-size", f"{size_h}x{size_w}", f"gradient:{light}-{dark}", "-background", dark, "-rotate", "-90",
            "-rotate", "20", "-gravity", "center", "-extent", f"{size_w}x{size_h}", grad)
        # Shape mask: white where the gradient shows (rim and monogram).
        run("-size", f"{size_w}x{size_h}", "xc:black",
            "-fill", "white", "-draw", f"path '{shield_path(x, y, w, h)}'",
            "-fill", "black", "-draw",
            f"path '{shield_path(x + inset, y + inset * 1.15, w - 2 * inset, h - 2.3 * inset)}'",
            "-fill", "white", "-draw", f"polygon {emblem_polygon(x, y, w, h)}",
            shape)
        # Inset body: dark ink, slightly lifted at the top.
        run("-size", f"{size_w}x{size_h}", "xc:none",
            "-fill", INK, "-draw", f"path '{shield_path(x, y, w, h)}'", os.path.join(tmp, "body.png"))
        run(grad, shape, "-alpha", "off", "-compose", "CopyOpacity", "-composite",
            os.path.join(tmp, "rim.png"))
        run(os.path.join(tmp, "body.png"), os.path.join(tmp, "rim.png"),
            "-compose", "Over", "-composite", out)


def splash(out):
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "base.png")
        run("-size", "800x450", "gradient:#101b31-#05080f", base)
        glow = os.path.join(tmp, "glow.png")
        run("-size", "1100x1100", "radial-gradient:#1d5db8-#000000",
            "-crop", "800x450+150+420", "+repage", "-evaluate", "multiply", "0.55", glow)
        lines = os.path.join(tmp, "lines.png")
        draw = []
        for i in range(-8, 30):
            x0 = i * 40
            draw += ["-draw", f"line {x0},450 {x0 + 260},0"]
        run("-size", "800x450", "xc:none", "-fill", "none", "-stroke", "rgba(120,190,255,0.05)", "-strokewidth", "1", *draw, lines)
        mark = os.path.join(tmp, "mark.png")
        run("-size", "800x450", "xc:none", "-fill", "none", "-stroke", "#77e1ff22",
            "-strokewidth", "2", "-draw", f"path '{shield_path(470, 40, 250, 300)}'",
            "-stroke", "#77e1ff12", "-strokewidth", "1",
            "-draw", f"path '{shield_path(448, 14, 294, 352)}'",
            "-stroke", "#339bff18", "-strokewidth", "10",
            "-draw", f"path '{shield_path(492, 66, 206, 248)}'",
            "-blur", "0x0.6", mark)
        shade = os.path.join(tmp, "shade.png")
        run("-size", "800x450", "gradient:#ffffff-#8a8a8a", shade)
        run(base, glow, "-compose", "Screen", "-composite",
            lines, "-compose", "Over", "-composite",
            mark, "-compose", "Over", "-composite",
            shade, "-compose", "Multiply", "-composite",
            "-alpha", "off", "-type", "TrueColor", "-depth", "8",
            "-define", "png:color-type=2", out)


def close_icon(out):
    run("-size", "38x38", "xc:none", "-stroke", "white", "-strokewidth", "2.2",
        "-draw", "stroke-linecap round",
        "-draw", "line 13,13 25,25", "-draw", "line 25,13 13,25",
        "-depth", "8", "-define", "png:color-type=6", out)


def logo_layers(tmp, light=BLUE, dark=CYAN, word="white", sub=CYAN, tag=""):
    """Full-size layers of the logo: shield, wordmark and subline."""
    shield = os.path.join(tmp, f"shield{tag}.png")
    draw_shield(shield, FRAME_W, FRAME_H, 14, 19, 70, 84, light, dark)
    wordmark = os.path.join(tmp, f"word{tag}.png")
    run("-size", f"{FRAME_W}x{FRAME_H}", "xc:none", "-font", BOLD, "-pointsize", "35",
        "-kerning", "2.5", "-fill", word, "-annotate", "+96+71", "TAVRIN", wordmark)
    subline = os.path.join(tmp, f"sub{tag}.png")
    run("-size", f"{FRAME_W}x{FRAME_H}", "xc:none", "-font", LIGHT, "-pointsize", "11.5",
        "-kerning", "4.2", "-fill", sub, "-annotate", "+98+91", "ANTI-CHEAT", subline)
    return shield, wordmark, subline


def compose(out, layers):
    args = ["-size", f"{FRAME_W}x{FRAME_H}", "xc:none"]
    for layer in layers:
        args += [layer, "-compose", "Over", "-composite"]
    run(*args, "-depth", "8", out)


def wedge_mask(out, fraction):
    """Opaque sector growing clockwise from the top, centred on the shield."""
    cx, cy, r = 49, 61, 80
    if fraction >= 1:
        run("-size", f"{FRAME_W}x{FRAME_H}", "xc:white", out)
        return
    points = [f"{cx},{cy}"]
    steps = max(2, int(64 * fraction))
    for i in range(steps + 1):
        a = -math.pi / 2 + 2 * math.pi * fraction * i / steps
        points.append(f"{cx + r * math.cos(a):.2f},{cy + r * math.sin(a):.2f}")
    run("-size", f"{FRAME_W}x{FRAME_H}", "xc:black", "-fill", "white",
        "-draw", "polygon " + " ".join(points), out)


def wipe_mask(out, fraction, left=94, right=246, soft=26):
    """Soft-edged left-to-right reveal between left and right."""
    edge = left - soft + (right - left + 2 * soft) * fraction
    run("-size", f"{FRAME_W}x{FRAME_H}", "xc:white", "-fx",
        f"clamp(({edge:.2f}-i)/{soft})", out)


def masked(out, layer, mask):
    run(layer, "(", layer, "-alpha", "extract", mask, "-compose", "Multiply", "-composite", ")",
        "-alpha", "off", "-compose", "CopyOpacity", "-composite", out)


def faded(out, layer, alpha):
    run(layer, "-channel", "A", "-evaluate", "multiply", f"{alpha:.3f}", "+channel", out)


def shine(out, fraction):
    """A diagonal highlight crossing the shield, clipped to the shield."""
    x = -40 + 170 * fraction
    with tempfile.TemporaryDirectory() as tmp:
        band = os.path.join(tmp, "band.png")
        run("-size", f"{FRAME_W}x{FRAME_H}", "xc:none", "-fill", "#ffffff70",
            "-draw", f"polygon {x:.1f},0 {x + 14:.1f},0 {x - 26:.1f},{FRAME_H} {x - 40:.1f},{FRAME_H}",
            "-blur", "0x3", band)
        clip = os.path.join(tmp, "clip.png")
        run("-size", f"{FRAME_W}x{FRAME_H}", "xc:black", "-fill", "white",
            "-draw", f"path '{shield_path(14, 19, 70, 84)}'", clip)
        masked(out, band, clip)


def ease(t):
    t = min(1.0, max(0.0, t))
    return t * t * (3 - 2 * t)


def logo_sheet(out, final_out):
    with tempfile.TemporaryDirectory() as tmp:
        shield, word, sub = logo_layers(tmp)
        compose(final_out, [shield, word, sub])
        frames = []
        for i in range(FRAMES):
            layers = []
            s = os.path.join(tmp, f"s{i}.png")
            wedge = os.path.join(tmp, "wedge.png")
            wedge_mask(wedge, ease((i + 1) / 22))
            masked(s, shield, wedge)
            layers.append(s)
            if i >= 18:
                w = os.path.join(tmp, f"w{i}.png")
                mask = os.path.join(tmp, "wipe.png")
                wipe_mask(mask, ease((i - 17) / 24))
                masked(w, word, mask)
                layers.append(w)
            if i >= 38:
                u = os.path.join(tmp, f"u{i}.png")
                faded(u, sub, ease((i - 37) / 14))
                layers.append(u)
            if 50 <= i < FRAMES - 1:
                h = os.path.join(tmp, f"h{i}.png")
                shine(h, (i - 50) / 12)
                layers.append(h)
            frame = os.path.join(tmp, f"f{i:02d}.png")
            if i == FRAMES - 1:
                frame = final_out
            else:
                compose(frame, layers)
            frames.append(frame)
        columns = []
        for c in range(COLUMNS):
            col = os.path.join(tmp, f"col{c}.png")
            run(*frames[c * ROWS:(c + 1) * ROWS], "-background", "none", "-append", "+repage", col)
            columns.append(col)
        run(*columns, "-background", "none", "+append", "+repage",
            "-depth", "8", "-define", "png:color-type=6", out)


def hidden_logo(out):
    """The same mark in gold: the logo shown only after the key sequence."""
    with tempfile.TemporaryDirectory() as tmp:
        shield, word, sub = logo_layers(tmp, "#ffb02e", "#ffe08a", "#fff4d6", "#ffcf66", "g")
        full = os.path.join(tmp, "full.png")
        compose(full, [shield, word, sub])
        run(full, "-depth", "8", "-define", "png:color-type=6", out)


def app_icon(out):
    with tempfile.TemporaryDirectory() as tmp:
        big = os.path.join(tmp, "icon.png")
        draw_shield(big, 256, 256, 24, 6, 208, 244, BLUE, CYAN)
        run(big, "-define", "icon:auto-resize=256,128,96,48,32,24,16", out)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out_dir, exist_ok=True)
    path = lambda name: os.path.join(out_dir, name)
    splash(path("splash.png"))
    close_icon(path("close.png"))
    hidden_logo(path("logo_hidden.png"))
    logo_sheet(path("logo_sheet.png"), os.path.join(tempfile.gettempdir(), "tavrin_logo_final.png"))
    app_icon(path("app.ico"))


if __name__ == "__main__":
    main()
