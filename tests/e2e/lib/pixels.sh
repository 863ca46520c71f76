# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the end-to-end scripts: what a screenshot shows, read with ImageMagick.
#
#   pixel FILE X,Y               the pixel's colour, as "srgb(r,g,b)"
#   white_rows FILE CROP         "top bottom count" of the white (trace) pixels inside CROP
#                                (WxH+X+Y); "-1 -1 0" when there are none
#   leading_rows FILE CROP N     "top bottom" of the white pixels in the N leftmost columns
#                                that have any inside CROP; empty when there are none
#   same_pixels FILE PICTURE     true when both have the same size and every pixel alike
#   dark_pixels FILE CROP        how many pixels inside CROP are darker than mid-grey
#   grid_runs FILE ROW WIDTH     widths of the runs of grid green (0,150,0) along ROW,
#                                left of column WIDTH
_e2e_convert=/usr/bin/convert

pixel() {
    "$_e2e_convert" "$1" -format "%[pixel:p{$2}]" info:
}

white_rows() {
    "$_e2e_convert" "$1" -crop "$2" +repage txt:- |
        awk -F'[,:]' '/#FFFFFF/ { n++; y = $2 + 0; if (min == "" || y < min) min = y; if (y > max) max = y }
                      END { if (n == 0) print "-1 -1 0"; else print min, max, n }'
}

leading_rows() {
    "$_e2e_convert" "$1" -crop "$2" +repage txt:- |
        awk -F'[,:]' -v n="$3" '/#FFFFFF/ { x[NR] = $1 + 0; y[NR] = $2 + 0; if (left == "" || $1 + 0 < left) left = $1 + 0 }
                                END { for (i in x) if (x[i] < left + n) { if (top == "" || y[i] < top) top = y[i]; if (y[i] > bottom) bottom = y[i] }
                                      if (top != "") print top, bottom + 0 }'
}

same_pixels() {
    local differ
    differ=$("$_e2e_convert" "$1" "$2" -compose difference -composite -format '%[fx:maxima.r+maxima.g+maxima.b]' info: 2>/dev/null) || return 1
    [[ "$("$_e2e_convert" "$1" -format '%wx%h' info:)" == "$("$_e2e_convert" "$2" -format '%wx%h' info:)" ]] &&
        [[ $differ == 0 ]]
}

dark_pixels() {
    "$_e2e_convert" "$1" -crop "$2" +repage -colorspace gray -threshold 50% \
        -format '%[fx:int(w*h*(1-mean)+0.5)]' info:
}

grid_runs() {
    "$_e2e_convert" "$1" -crop "${3}x1+0+$2" +repage txt:- |
        awk -F'[ :,]+' 'NR > 1 { green = ($0 ~ /#009600/); if (green) run++; else if (run) { printf "%d ", run; run = 0 } }
                        END { if (run) printf "%d ", run }'
}
