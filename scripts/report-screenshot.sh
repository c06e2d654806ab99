#!/usr/bin/env bash
# Writes the commissioning report of a project and takes a screenshot of it in headless Chromium, to see
# that the page renders, map included. Only a local file is opened, with the browser's own background
# traffic switched off.
#   scripts/report-screenshot.sh [PROJECT_FOLDER] [OUTPUT.png]
# Without a project folder, a small sample project (tests/fixtures/scl/bay1.icd, a few signals, one
# conflict) is made in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${SW_CLI:-build/bin/sw40512-cli}
out=${2:-report.png}
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
    echo "chromium is missing: apt-get install chromium" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project=${1:-}
if [ -z "$project" ]; then
    project="$work/Sample"
    mkdir -p "$project/ICD_Catalog"
    cp tests/fixtures/image/ParGen.xml "$project/"
    cp tests/fixtures/scl/bay1.icd "$project/ICD_Catalog/"
    {
        printf '<IEC_68850_Client><List_ICD_Files><ICD_File Name="Bay1" FileName="bay1.icd"/></List_ICD_Files>'
        printf '<List_DA_Selected>'
        refs=(Bay1CTRL/MMXU1.TotW.mag.f Bay1CTRL/MMXU1.A.cVal.mag.f Bay1CTRL/MMXU1.Hz.mag.f Bay1CTRL/Q0XCBR1.Pos.stVal)
        for i in $(seq 0 39); do
            rw=Read
            [ $((i % 3)) -eq 0 ] && rw=Write
            pos=$((i * 7))
            [ "$i" -eq 5 ] && pos=7 # reads onto the place of row 2: a conflict
            printf '<DA_Item Index="0" bType="FLOAT32" fc="MX" Reference="%s" IPAddress="192.168.1.%d" Port="102" OnChange="Y" OnCMD="N" OnTimer="N" Time="" Position="%d" StartBit="" ReadWrite="%s" Convertion="None" MoltFact="1" Mnemonic="signal %d"/>' \
                "${refs[$((i % 4))]}" $((10 + i % 2)) "$pos" "$rw" "$i"
        done
        printf '</List_DA_Selected><List_DataSet_Selected><DataSet_Item Index="0" Reference="Bay1CTRL/LLN0.DS1" GooseName="GoCB1" EnGoose="Y" IPAddress="192.168.1.10" Port="102" Time="" Mnemonic="events"><DataSet_List_DAs>'
        for m in 0 1 2; do
            printf '<DataSet_DA_Item bType="Dbpos" Reference="Bay1CTRL/Q0XCBR1.Pos.stVal" Position="%d" StartBit="%d" Convertion="None" MoltFact="1" Mnemonic="member %d"/>' $((600 + m)) "$m" "$m"
        done
        printf '</DataSet_List_DAs></DataSet_Item></List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->'
    } >"$project/IEC_61850_Client.xml"
fi

"$cli" report "$project" -o "$work/report.html" --decimal-separator ,
"$browser" --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --user-data-dir="$work/profile" --window-size=1240,1754 \
    --screenshot="$(realpath -m "$out")" "file://$work/report.html" 2>/dev/null
echo "$out"
