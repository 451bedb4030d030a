"""The filter in a playing GStreamer pipeline while its blend mode is typed
a key at a time, as an editor's text field sets it: GStreamer's frei0r
element then hands the text itself rather than frei0r's pointer to it. The
process must survive every text, and each frame after a setting must be the
frame of a pipeline started with the mode that text names (normal for
anything that names none).

Usage: gstreamer_live_test.py PLUGIN_DIR
"""
import os
import sys
import sysconfig
import tempfile

# The element finds the filter through FREI0R_PATH. This run has a registry
# of its own, apart from the user's, of the four GStreamer plug-ins it
# plays, scanned in this process so that a sanitizer runtime preloaded here
# covers the scan too.
os.environ["FREI0R_PATH"] = sys.argv[1]
work = tempfile.TemporaryDirectory()
system_plugins = f"/usr/lib/{sysconfig.get_config_var('MULTIARCH')}/gstreamer-1.0"
for plugin in ("coreelements", "videotestsrc", "app", "frei0r"):
    name = f"libgst{plugin}.so"
    os.symlink(os.path.join(system_plugins, name), os.path.join(work.name, name))
os.environ["GST_PLUGIN_SYSTEM_PATH_1_0"] = work.name
os.environ["GST_PLUGIN_PATH_1_0"] = ""
os.environ["GST_REGISTRY_1_0"] = os.path.join(work.name, "registry.bin")
os.environ["GST_REGISTRY_FORK"] = "no"

import gi  # noqa: E402

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

CAPS = "video/x-raw,format=RGBA,width=160,height=90,framerate=25/1"
# A buffer may sit in the sink and one more be on its way when the mode
# changes: the frame after them has the new mode.
FRAMES_AFTER_A_SETTING = 3


class Pipeline:
    def __init__(self, blend):
        Gst.init(None)
        if Gst.ElementFactory.find("frei0r-filter-tidalhalo") is None:
            sys.exit(f"gstreamer_live_test: error: GStreamer finds no frei0r-filter-tidalhalo in {sys.argv[1]}")
        self.pipeline = Gst.parse_launch(
            f"videotestsrc pattern=smpte100 ! {CAPS} ! frei0r-filter-tidalhalo name=filter blend={blend} "
            "radius=0.3 feather=0.05 ! appsink name=sink sync=false max-buffers=1")
        self.filter = self.pipeline.get_by_name("filter")
        self.sink = self.pipeline.get_by_name("sink")
        self.pipeline.set_state(Gst.State.PLAYING)

    def frame(self):
        sample = self.sink.emit("try-pull-sample", 10 * Gst.SECOND)
        if sample is None:
            sys.exit("gstreamer_live_test: error: the pipeline gave no frame")
        buffer = sample.get_buffer()
        return buffer.extract_dup(0, buffer.get_size())

    def frame_after(self, blend):
        self.filter.set_property("blend", blend)
        for _ in range(FRAMES_AFTER_A_SETTING):
            self.frame()
        return self.frame()

    def stop(self):
        self.pipeline.set_state(Gst.State.NULL)


def started_with(blend):
    pipeline = Pipeline(blend)
    frame = pipeline.frame()
    pipeline.stop()
    return frame


def main():
    expected = {mode: started_with(mode) for mode in ("normal", "add")}
    if expected["normal"] == expected["add"]:
        sys.exit("gstreamer_live_test: error: modes normal and add give the same frame")
    typed = ["a", "ad", "add", "", "n", "no", "nor", "norm", "norma", "normal", "x" * 300, "add"]
    playing = Pipeline("normal")
    playing.frame()
    failures = 0
    for text in typed:
        mode = text if text in expected else "normal"
        same = playing.frame_after(text) == expected[mode]
        shown = text if len(text) < 20 else f"{text[:5]}... ({len(text)} characters)"
        print(f"{'same' if same else 'DIFFERENT'}: blend set to \"{shown}\" while playing, against blend={mode}")
        failures += not same
    playing.stop()
    if failures:
        sys.exit(f"gstreamer_live_test: error: {failures} frames differ")
    print(f"{len(typed)} settings while playing: the process lives and every frame is its mode's")


main()
