#!/usr/bin/env python3
"""Runs every benchmark program of a build side by side and prints one Markdown table: each of
our benchmarks next to its reference, the least wall and processor time of each over the
repetitions, their ratios, and whether both sides do the same work.

    scripts/bench-table.py [--build build] [--repetitions 5] [--only palette,sha1] [--reuse]
                           [--cpus 4-7]

GUI programs run on an X server of their own (tests/support/own-display.sh). --cpus runs every
program on those processors only (taskset), so that both sides of a pair get the same ones. The
palette program runs its repetitions in random order, ours and the tools' interleaved, so that
both sides meet the same load. The start-up benchmark times whole processes in alternating
rounds of its own and is run once; its rows are its counters (the least of its rounds), against a
plain GTK 3 window (a menubar and a drawing area), by map and by first full paint. Raw
results go to <build>/bench-results/<program>.json.
"""
import argparse
import json
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# program, ours, reference, same work. A reference of None: no reference, shown for itself.
PAIRS = [
    ("autosave", "BM_AutoSaveLongestHold_Background", "BM_AutoSaveLongestHold_OnMainThread",
     "yes (same 24 MP picture encoded, same file written; time: the longest hold of the main "
     "thread)"),
    ("autosave", "BM_SaveLongestHold_Snapshot/24", "BM_SaveLongestHold_WholeFileCopy/24",
     "yes (same encoded 24 MP picture, same file written; time: the longest hold of the main "
     "thread)"),
    ("autosave", "BM_SaveLongestHold_Snapshot/100", "BM_SaveLongestHold_WholeFileCopy/100",
     "yes (as above, 100 MP)"),
    ("autosave", "BM_SaveLongestHold_Snapshot/320", "BM_SaveLongestHold_WholeFileCopy/320",
     "yes (as above, 20 pictures of 16 MP)"),
    ("clipart", "BM_ClipartFillAndSort_Ours", "BM_ClipartFillAndSort_Gtk",
     "yes (same reader, rows, comparison and teardown; orders checked)"),
    ("clipboard", "BM_Copy_Framework", "BM_Copy_Gtk",
     "no: ours copies the page, GTK keeps a reference to the pixbuf"),
    ("clipboard", "BM_CopyPaste_Framework", "BM_CopyPaste_Gtk",
     "no: ours takes its own copy's pixels, GTK encodes and decodes a PNG"),
    ("clipboard", "BM_CopyPastePngBytes_Framework", "BM_CopyPaste_Gtk",
     "yes (PNG encoded and decoded on both sides)"),
    ("codecs", "BM_BMPtoPPM_FrameworkNoSync", "BM_BMPtoPPM_ImageMagick",
     "yes (file to file; the tool's side includes its process start)"),
    ("codecs", "BM_BMPtoPPM_FrameworkNoSync", "BM_BMPtoPPM_Netpbm", "yes (as above)"),
    ("codecs", "BM_BMPtoPPM_Framework", "BM_BMPtoPPM_Netpbm",
     "no: ours also syncs the file to disc (replaced through a temporary file)"),
    ("codecs", "BM_PPMtoBMP_FrameworkNoSync", "BM_PPMtoBMP_ImageMagick", "yes (file to file)"),
    ("codecs", "BM_PPMtoBMP_FrameworkNoSync", "BM_PPMtoBMP_Netpbm", "yes (file to file)"),
    ("codecs", "BM_PPMtoBMP_Framework", "BM_PPMtoBMP_Netpbm", "no: ours also syncs the file"),
    ("codecs", "BM_PNGDecode_Codec", "BM_PNGDecode_Direct",
     "yes (same library, same settings, same output buffer: an LImageBuffer, huge pages)"),
    ("codecs", "BM_PNGEncode_Codec", "BM_PNGEncode_Direct", "yes (same library, same settings)"),
    ("codecs", "BM_JPEGDecode_Codec", "BM_JPEGDecode_Direct",
     "yes (same library, same settings, same output buffer: an LImageBuffer, huge pages; what "
     "remains is the codec's job, stream and rows)"),
    ("codecs", "BM_JPEGDecode_Codec", "BM_JPEGDecode_DirectOrdinaryPages",
     "no: the buffer differs (ours asks for huge pages, MADV_HUGEPAGE; the reference decodes "
     "into ordinary pages from new[])"),
    ("codecs", "BM_JPEGEncode_Codec", "BM_JPEGEncode_Direct", "yes (same library, same settings)"),
    ("design_canvas", "BM_CanvasDragStep/1", "BM_BarePaint/1",
     "no: the drag step also moves the overlay and paints selection and shading"),
    ("design_canvas", "BM_CanvasDragStep/2", "BM_BarePaint/2", "no: as above, at scale 2"),
    ("design_canvas", "BM_CanvasRepaintLargePicture/1", None,
     "info: the canvas repainted with a 24-megapixel picture"),
    ("design_canvas", "BM_CanvasRepaintLargePicture/2", None, "info: as above, at scale 2"),
    ("design_canvas", "BM_CanvasLargePictureNewSize/1", None,
     "info: as above, the picture at a size not shown before"),
    ("dialogs", "BM_ProgressDialog", "BM_BareProgressWindow", "yes (same widgets)"),
    ("dialogs", "BM_Alert", "BM_BareMessageDialog", "yes (answered the same way)"),
    ("dialogs", "BM_PropertySheet10", "BM_BareNotebook10", "yes (ten pages)"),
    ("dialogs", "BM_IsToStop100000", "BM_BareIteration100000",
     "yes (one non-blocking loop iteration each)"),
    ("disc_design", "BM_DiscDesignFromFiles_Ours", "BM_DiscDesignFromFiles_Rsvg",
     "yes (JPEGs decoded from files, RGBA PNG at the default level, pixels compared)"),
    ("disc_design", "BM_DiscDesignNoPictures_Ours", "BM_DiscDesignNoPictures_Rsvg",
     "yes (as above, no pictures)"),
    ("imaging", "BM_ToB8G8R8", "BM_ToB8G8R8_Pixman", "yes"),
    ("imaging", "BM_FromB8G8R8", "BM_FromB8G8R8_Pixman", "yes"),
    ("imaging", "BM_SwapRedBlue", "BM_SwapRedBlue_Pixman", "yes"),
    ("imaging", "BM_Premultiply", "BM_Premultiply_Pixman", "yes"),
    ("imaging", "BM_ScaleNearest", "BM_ScaleNearest_Pixman", "yes"),
    ("imaging", "BM_ScaleSmooth", "BM_ScaleSmooth_Pixman", "same sizes; the filters differ"),
    ("imaging", "BM_Copy", "BM_Copy_Memcpy", "yes"),
    ("imaging", "BM_Clear", "BM_Clear_Memset", "yes"),
    ("imaging", "BM_ClearZero", "BM_Clear_Memset", "yes"),
    ("listview", "BM_ListFill_Ours", "BM_ListFill_Gtk", "yes"),
    ("listview", "BM_ListSort_Ours", "BM_ListSort_Gtk", "yes (same comparison)"),
    ("listview", "BM_ListScroll_Ours", "BM_ListScroll_Gtk", "yes (same pages)"),
    ("listview", "BM_ListSelectAllDelete_Ours", "BM_ListSelectAllDelete_Gtk", "yes"),
    ("listview", "BM_TreeFillExpand_Ours", "BM_TreeFillExpand_Gtk", "yes"),
    ("listview", "BM_TreeAddSorted_Ours/5000", "BM_TreeAddSorted_Gtk/5000",
     "yes (each placed by the same binary search, then shown)"),
    ("listview", "BM_TreeAddSorted_Ours/20000", "BM_TreeAddSorted_Gtk/20000", "yes (as above)"),
    ("loading", "BM_OpenProjectOverlays/1000", None, "no reference (flatness)"),
    ("loading", "BM_OpenProjectOverlays/10000", None, "no reference (flatness)"),
    ("loading", "BM_OpenProjectOverlays/100000", None, "no reference (flatness)"),
    ("loading", "BM_OpenXmlOverlays/1000", None, "no reference"),
    ("loading", "BM_OpenXmlOverlays/100000", None, "no reference"),
    ("main_dialog", "BM_SheetA4At300ToPPM_Ours", "BM_SheetA4At300ToPPM_Pdftoppm",
     "yes (PPM both; pixels compared)"),
    ("main_dialog", "BM_SheetA4At300ToPNG9_Ours", "BM_SheetA4At300ToPNG9_Pdftoppm",
     "yes (RGB PNG, zlib 9 both; pixels compared)"),
    ("main_dialog", "BM_ExportImageA4At300", None, "info: the window's image export job"),
    ("main_dialog", "BM_Open500OverlaysAndPaint", None, "no reference"),
    ("main_dialog", "BM_FiveHundredOverlaysPdfJob", None, "the job alone"),
    ("main_dialog", "BM_FiveHundredOverlaysImageJob", None, "the job alone"),
    ("main_dialog", "BM_EnableControls_StoppedClipboardOwner",
     "BM_EnableControls_AnsweringClipboardOwner", "yes (same enabling; the owners differ)"),
    ("menu", "BM_MenuFromTable", "BM_PlainGtkMenu", "yes (2,000 items, popped up and down)"),
    ("paint", "BM_PaintSurfaceScene", "BM_PlainCairoScene", "yes (the same calls' drawing)"),
    ("painter", "BM_SheetAllocClearPainter", "BM_SheetAllocClearPlainCairo",
     "yes (allocate and clear white)"),
    ("painter", "BM_DirectOpenCloseOpaque", "BM_ReadOnly", "no: bound (one streaming read)"),
    ("painter", "BM_CopyingOpenCloseOpaque", "BM_Memcpy", "no: bound (one copy)"),
    ("palette", "BM_Octree256_Framework/0", "BM_Octree256_ImageMagick/0",
     "yes (both whole processes started alike, PPM file in and out)"),
    ("palette", "BM_Octree256_Framework/1", "BM_Octree256_ImageMagick/1",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/2", "BM_Octree256_ImageMagick/2",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/3", "BM_Octree256_ImageMagick/3",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/4", "BM_Octree256_ImageMagick/4",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/5", "BM_Octree256_ImageMagick/5",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/6", "BM_Octree256_ImageMagick/6",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/7", "BM_Octree256_ImageMagick/7",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/8", "BM_Octree256_ImageMagick/8",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/9", "BM_Octree256_ImageMagick/9",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/10", "BM_Octree256_ImageMagick/10",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/11", "BM_Octree256_ImageMagick/11",
     "yes (as above)"),
    ("palette", "BM_Octree256_Framework/12", "BM_Octree256_ImageMagick/12",
     "yes (as above)"),
    ("palette", "BM_MedianCut256_Framework", "BM_MedianCut256_Netpbm",
     "yes (whole processes, no dithering)"),
    ("palette", "BM_FloydSteinberg_Framework", "BM_FloydSteinberg_Netpbm",
     "yes (whole processes, same palette)"),
    ("palette", "BM_GIF_Framework", "BM_GIF_ImageMagick", "yes (whole processes, PPM to GIF)"),
    ("picture_workers", "BM_AddPictureLongestHold_Worker", "BM_AddPictureLongestHold_OnMainThread",
     "yes (same picture read, reduced for the screen and taken; time: the longest hold of the "
     "main thread)"),
    ("picture_workers", "BM_PasteLongestHold_SharedPixels", "BM_PasteLongestHold_StreamDecoded",
     "no: ours shares the copied picture's pixels, the reference writes and decodes its stream "
     "(time: the longest hold of the main thread)"),
    ("picture_workers", "BM_PasteStreamLongestHold_Worker",
     "BM_PasteStreamLongestHold_OnMainThread",
     "yes (same stream decoded; time: the longest hold of the main thread)"),
    ("project", "BM_SheetRender300", "BM_SheetRender300PlainCairo", "yes (same scene)"),
    ("project", "BM_SheetExportPdf", "BM_SheetExportPdfPlainCairo", "yes (same scene)"),
    ("project", "BM_PhotoFirstSave", "BM_PhotoConvertToPng",
     "no: bound (the PNG encoding alone)"),
    ("project", "BM_ProjectLoad", "BM_PhotoDecode", "no: bound (the PNG decoding alone)"),
    ("project", "BM_ProjectSave", None, "info: re-saving, no picture changed"),
    ("project_viewer", "BM_TextPanelFontList", "BM_PlainComboBoxText", "yes (2,000 families)"),
    ("project_viewer", "BM_PushAndUndoTemplateStep", "BM_CloneOverlaysOnly",
     "no: bound (the bare cloning)"),
    ("raster_codecs", "BM_PCXtoPPM_Framework", "BM_PCXtoPPM_Netpbm", "yes (same input bytes)"),
    ("raster_codecs", "BM_PPMtoPCX_Framework", "BM_PPMtoPCX_Netpbm", "yes"),
    ("raster_codecs", "BM_TGAtoPPM_Framework", "BM_TGAtoPPM_Netpbm", "yes"),
    ("raster_codecs", "BM_PPMtoTGA_Framework", "BM_PPMtoTGA_Netpbm", "yes"),
    ("raster_codecs", "BM_RAStoPPM_Framework", "BM_RAStoPPM_Netpbm", "yes"),
    ("raster_codecs", "BM_PPMtoRAS_Framework", "BM_PPMtoRAS_Netpbm", "yes"),
    ("raster_codecs", "BM_WBMPtoPBM_Framework", "BM_WBMPtoPBM_Netpbm", "yes"),
    ("raster_codecs", "BM_PBMtoWBMP_Framework", "BM_PBMtoWBMP_Netpbm", "yes"),
    ("raster_codecs", "BM_PSDtoPPM_Framework", "BM_PSDtoPPM_ImageMagick", "yes"),
    ("raster_codecs", "BM_PPMtoPSD_Framework", "BM_PPMtoPSD_ImageMagick", "yes"),
    ("raster_codecs", "BM_TGADecode_Framework", "BM_TGADecode_Stb", "yes (from memory)"),
    ("raster_codecs", "BM_PSDDecode_Framework", "BM_PSDDecode_Stb", "yes (from memory)"),
    ("sdf", "BM_SDFWriteFile", "BM_OneBufferedWrite", "yes (same bytes, checked)"),
    ("settings", "BM_PostAndDispatch/1000", None, "no reference"),
    ("settings", "BM_SettingRead", None, "no reference"),
    ("settings", "BM_SettingWrite", None, "no reference"),
    ("sha1", "BM_Sha1_256MB", "BM_OpenSslEvp_256MB", "yes (digests checked)"),
    ("shown_text", "BM_ShownTextOfMarks/64", None,
     "info: 64 KiB of letters with 31 marks each made into what the edit view shows"),
    ("shown_text", "BM_ShownTextOfMarks/256", None, "info: as above, 256 KiB"),
    ("shown_text", "BM_ShownTextOfMarks/1024", None, "info: as above, 1 MiB"),
    ("shown_text", "BM_EditViewSetTextOfMarks/64", "BM_PlainTextViewShownMarks/64",
     "no: bound (GTK laying out the shown text made ready)"),
    ("shown_text", "BM_EditViewSetTextOfMarks/256", "BM_PlainTextViewShownMarks/256",
     "no: as above, 256 KiB"),
    ("shown_text", "BM_EditViewSetTextOfMarks/1024", "BM_PlainTextViewShownMarks/1024",
     "no: as above, 1 MiB"),
    ("startup", "counter:program_map_least", "counter:plain_map_least",
     "no: bound (a plain GTK 3 window, a menubar over a drawing area; the program's window has "
     "its toolbar, tabs, canvas and panels besides); both programs of their own started alike, "
     "exec to the map, the plain window without GDK's GL set-up, as the program"),
    ("startup", "counter:program_paint_least", "counter:plain_paint_least",
     "no: bound, as above; exec to the first full paint (the window's picture as it settles)"),
    ("startup", "counter:program_map_least", "counter:plain_gl_map_least",
     "no: the plain window also sets up GDK's GL (loads the GL driver), the program does not"),
    ("startup", "counter:program_paint_least", "counter:plain_gl_paint_least", "no: as above"),
    ("strings", "BM_FormatShortMessage", "BM_SnprintfShortMessage", "yes"),
    ("strings", "BM_FormatIntegers", "BM_SnprintfIntegers", "yes"),
    ("suite", "BM_SuiteTabChangeAllRows", "BM_GtkListBoxRefill", "yes (same 33 rows, painted)"),
    ("tab_bar", "BM_TabBarAnimationFrame", "BM_GtkNotebookRepaint",
     "no: our frame lays out and paints, GTK's only repaints"),
    ("tab_bar", "BM_TabBarClick", "BM_GtkNotebookSwitchPage",
     "comparable (select, layout, paint)"),
    ("tabbed_toolbar", "BM_TabbedToolBarRepaint", "BM_GtkToolbarDraw",
     "no: ours lays out as well, GTK's is allocated once"),
    ("text_overlay", "BM_PaintUnchangedMebibyteOverlay", "BM_PaintSameLinesFromReadyPangoLayout",
     "yes (pictures compared)"),
    ("value_controls", "BM_ComboBoxAdds", "BM_PlainListStore", "yes"),
    ("value_controls", "BM_PullDownListAdds", "BM_PlainMenu", "yes"),
    ("value_controls", "BM_PullDownOfFamilies", "BM_PlainComboBoxTextOfFamilies", "yes"),
    ("value_controls", "BM_EditViewSetTextAndLines", "BM_PlainTextView", "yes"),
    ("window_controls", "BM_ControlsById", "BM_PlainGtkFixed", "yes (300 controls)"),
    ("window_controls", "BM_MeasureTextHeight", "BM_BarePangoLayout", "yes"),
    ("xml", "BM_XmlLoadFromFile_20MB", "BM_XmllintNoout_20MB",
     "comparable: xmllint also starts a process"),
]

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def base_name(name):
    """A run's name without Google Benchmark's run options and aggregate suffixes."""
    name = re.sub(r"/(iterations:\d+|real_time|manual_time|repeats:\d+|min_time:[\d.]+)", "", name)
    return re.sub(r"_(mean|median|stddev|cv)$", "", name)


def fmt(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            value = seconds / scale
            return f"{value:.3g} {unit}" if value < 100 else f"{value:.0f} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


# Programs whose repetitions run interleaved in random order: ours and the tools' alike.
INTERLEAVED = {"palette"}
# Programs that run once: they repeat in rounds of their own.
ONCE = {"startup"}


def run(build, program, repetitions, cpus):
    out = os.path.join(build, "bench-results", program + ".json")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    command = [os.path.join(ROOT, "tests/support/own-display.sh"),
               os.path.join(build, program + "_bench"),
               f"--benchmark_repetitions={1 if program in ONCE else repetitions}",
               f"--benchmark_out={out}", "--benchmark_out_format=json"]
    if program in INTERLEAVED:
        command.append("--benchmark_enable_random_interleaving=true")
    if cpus:
        command = ["taskset", "-c", cpus] + command
    env = dict(os.environ, VT_RESOURCES_DIR=os.path.join(build, "resources"), LC_ALL="C.UTF-8")
    with open(out[:-5] + ".log", "w") as log:
        subprocess.run(command, cwd=build, env=env, stdout=log, stderr=log, check=False)
    try:
        with open(out) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def reuse(build, program):
    try:
        with open(os.path.join(build, "bench-results", program + ".json")) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def unfinished(results):
    """name -> what a run that did not finish said (Google Benchmark's error of the run)."""
    return {base_name(b["name"]): b.get("error_message", "")
            for b in results.get("benchmarks", [])
            if b.get("run_type") == "iteration" and b.get("error_occurred")}


def least(results):
    """name -> (least wall s, least cpu s, label, repetitions) over the iteration runs."""
    table = {}
    for b in results.get("benchmarks", []):
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        scale = UNITS[b.get("time_unit", "ns")]
        name = base_name(b["name"])
        wall, cpu = b["real_time"] * scale, b["cpu_time"] * scale
        # A benchmark that times in rounds of its own gives its least times as counters, in
        # milliseconds, with the processor time of the same moment beside them.
        for key, value in b.items():
            if key.endswith("_least") and not key.endswith("_cpu_least"):
                cpu = b.get(key[:-len("_least")] + "_cpu_least")
                table["counter:" + key] = (value * 1e-3, cpu * 1e-3 if cpu else 0, "",
                                           int(b.get("rounds", 1)))
        old = table.get(name)
        label = b.get("label", "")
        # Counters of the output's quality (PSNR against the reference's picture).
        quality = " ".join(f"{k} {v:.2f} dB" for k, v in sorted(b.items()) if "psnr" in k)
        label = " ".join(x for x in (label, quality) if x)
        if old:
            table[name] = (min(old[0], wall), min(old[1], cpu), old[2] or label, old[3] + 1)
        else:
            table[name] = (wall, cpu, label, 1)
    return table


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--only", default="")
    parser.add_argument("--reuse", action="store_true",
                        help="print the table from the results of the last run, running nothing")
    parser.add_argument("--cpus", default="",
                        help="run every program on these processors only (taskset -c)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    programs = sorted({p for p, *_ in PAIRS})
    if args.only:
        programs = [p for p in programs if p in args.only.split(",")]
    print("| program | ours | wall / cpu (least of n) | reference | wall / cpu (least of n) "
          "| ratio wall | ratio cpu | same work |")
    print("|---|---|---|---|---|---|---|---|")
    for program in programs:
        results = (reuse(build, program) if args.reuse
                   else run(build, program, args.repetitions, args.cpus))
        if results is None:
            print(f"| {program} | (did not run) | | | | | | |")
            continue
        times = least(results)
        failed = unfinished(results)

        def cell(name, t):
            if t:
                return f"{fmt(t[0])} / {fmt(t[1])} (n={t[3]})"
            # A side that did not finish shows as such, never as a time.
            return f"not finished ({failed[name]})" if name in failed else "—"

        for p, ours, ref, same in PAIRS:
            if p != program:
                continue
            o = times.get(ours)
            r = times.get(ref) if ref else None
            ocell = cell(ours, o)
            rcell = cell(ref, r) if ref else "—"
            wall = f"{o[0] / r[0]:.2f}x" if o and r and r[0] > 0 else "—"
            # A reference that runs an outside tool spends its processor time in another
            # process: its own is no measure. The counters' processor time is that of the started
            # processes themselves.
            tool = r and r[1] < 0.01 * r[0]
            cpu = f"{o[1] / r[1]:.2f}x" if o and r and r[1] > 0 and not tool else "—"
            ol, rl = (o[2] if o else ""), (r[2] if r else "")
            labels = ol if not rl or rl == ol else (f"ours {ol}, reference {rl}" if ol else rl)
            note = same + (f"; {labels}" if labels else "")
            shown = [n.replace("counter:", "") if n else n for n in (ours, ref)]
            print(f"| {program} | {shown[0]} | {ocell} | {shown[1] or '—'} | {rcell} | {wall} "
                  f"| {cpu} | {note} |")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
