#!/usr/bin/env bash
# Makes the mobile-app code picture of the main window (src/MainWindow/resources/qrcode.png)
# from the mobile-app address. Run by hand when the address changes; the program itself only
# shows the PNG. Needs the Debian package qrencode for this script alone.
set -euo pipefail
address=${1:-https://www.tavvel.invalid/app.html}
out=$(dirname "$0")/../src/MainWindow/resources/qrcode.png
command -v qrencode >/dev/null || { echo "make_qrcode: install qrencode (apt-get install qrencode)" >&2; exit 1; }
qrencode --type=PNG --size=6 --margin=2 --level=M --output="$out" "$address"
echo "make_qrcode: $out for $address"
