#!/bin/sh
# Regenerates the corpus files written by other programs from the sources in
# src/. Run once when a source changes; the tests read only the results.
# Needs: libreoffice-writer-nogui, pandoc, latex2rtf, enscript.
set -e
cd "$(dirname "$0")"
out=$(mktemp -d)
profile="-env:UserInstallation=file://$out/profile"
soffice $profile --headless --convert-to odt --outdir "$out" src/prescription.fodt >/dev/null
soffice $profile --headless --convert-to rtf --outdir "$out" "$out/prescription.odt" >/dev/null
cp "$out/prescription.rtf" lo_from_odt.rtf
soffice $profile --headless --convert-to odt --outdir "$out" src/layout.fodt >/dev/null
soffice $profile --headless --convert-to rtf --outdir "$out" "$out/layout.odt" >/dev/null
cp "$out/layout.rtf" lo_layout.rtf
soffice $profile --headless --infilter="HTML (StarWriter)" --convert-to rtf --outdir "$out/html" src/prescription.html >/dev/null
cp "$out/html/prescription.rtf" lo_from_html.rtf
pandoc -s -f markdown -t rtf src/prescription.md -o pandoc.rtf
latex2rtf -o latex2rtf.rtf src/prescription.tex 2>/dev/null
enscript -q -w rtf -o enscript.rtf src/prescription.txt
rm -rf "$out"
