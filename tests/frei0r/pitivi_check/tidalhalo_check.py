"""A Pitivi plug-in that drives Pitivi for pitivi_test.sh: a new project with
one clip, the effect added from the effects list to the selected clip, its
panel opened, keys typed into the blend field one at a time, a screenshot
of the window; then Pitivi is ended. It writes what it found, a line at a
time, to the file named by TIDALHALO_PITIVI_REPORT."""
import os

from gi.repository import Gdk
from gi.repository import GES
from gi.repository import GLib
from gi.repository import GObject
from gi.repository import Gtk
from gi.repository import Peas

ELEMENT = "frei0r-filter-tidalhalo"
# Keys typed into the blend field, its text selected: as a person would
# empty it, type "add", delete it, and type "normal"; then "add" once more.
KEYS = ["BackSpace", "a", "d", "d", "BackSpace", "BackSpace", "BackSpace",
        "n", "o", "r", "m", "a", "l", "select-all", "a", "d", "d"]
SETTLE_MS = 300


def report(line):
    with open(os.environ["TIDALHALO_PITIVI_REPORT"], "a", encoding="utf-8") as out:
        out.write(line + "\n")


def named(widget, name):
    """The widget under widget whose builder name is name."""
    if isinstance(widget, Gtk.Buildable) and Gtk.Buildable.get_name(widget) == name:
        return widget
    if isinstance(widget, Gtk.Container):
        for child in widget.get_children():
            found = named(child, name)
            if found is not None:
                return found
    return None


def all_of(widget, kind):
    """The widgets of kind under widget, outermost first, not looking inside them."""
    if isinstance(widget, kind):
        return [widget]
    found = []
    if isinstance(widget, Gtk.Container):
        widget.foreach(lambda child: found.extend(all_of(child, kind)))
    return found


class TidalhaloCheck(GObject.Object, Peas.Activatable):
    object = GObject.Property(type=GObject.Object)

    def do_activate(self):
        self.app = self.object.app
        manager = self.app.project_manager
        manager.connect("new-project-loaded", self._project_loaded_cb)
        if manager.current_project is not None:
            self._project_loaded_cb(manager, manager.current_project)
        else:
            GLib.timeout_add(2000, self._new_project)

    def _new_project(self):
        if self.app.project_manager.current_project is None:
            self.app.project_manager.new_blank_project()
        return False

    def do_deactivate(self):
        pass

    def _project_loaded_cb(self, unused_manager, project):
        if hasattr(self, "project"):
            return
        self.project = project
        project.connect("asset-added", self._asset_added_cb)
        project.add_uris([GLib.filename_to_uri(os.environ["TIDALHALO_PITIVI_CLIP"])])

    def _asset_added_cb(self, project, asset):
        layers = project.ges_timeline.get_layers()
        layer = layers[0] if layers else project.ges_timeline.append_layer()
        self.clip = layer.add_asset(asset, 0, 0, asset.get_duration(), asset.get_supported_formats())
        GLib.timeout_add(1000, self._add_effect)

    def _add_effect(self):
        editor = self.app.gui.editor
        editor.timeline_ui.timeline.selection.set_selection([self.clip], 0)
        editor.effectlist.apply_effect(ELEMENT)
        GLib.timeout_add(1000, self._open_panel)
        return False

    def _open_panel(self):
        effects = self.app.gui.editor.clipconfig.effect_expander
        expanders = all_of(effects.effects_listbox, Gtk.Expander)
        for expander in expanders:
            report(f"effect: {expander.get_label_widget().get_text()}")
            expander.set_expanded(True)
        # Room for the panel in the screenshot: a larger window, the clip's
        # other sections folded.
        self.app.gui.resize(1600, 1000)
        self.app.gui.editor.toplevel_widget.set_position(900)
        for section in all_of(self.app.gui.editor.clipconfig, Gtk.Expander):
            if section not in expanders and named(section, "base_table") is None:
                section.set_expanded(False)
        GLib.timeout_add(1000, self._check_panel)
        return False

    def _check_panel(self):
        effects = self.app.gui.editor.clipconfig.effect_expander
        panel = named(effects, "base_table")
        self.entry = named(effects, f"{ELEMENT}::blend")
        report(f"panel: {'ours' if panel is not None and self.entry is not None else 'not ours'}")
        if self.entry is None:
            return self._finish()
        self.effect = self.clip.find_track_elements(None, GES.TrackType.VIDEO, GES.Effect)[0]
        self._check_values(effects)
        self.app.gui.present()
        self.app.gui.get_window().focus(Gdk.CURRENT_TIME)
        self.entry.grab_focus()
        self.entry.select_region(0, -1)
        self.keys = list(KEYS)
        GLib.timeout_add(SETTLE_MS, self._type_key)
        return False

    def _check_values(self, effects):
        """A new instance's panel shows the element's defaults, within its ranges."""
        for prop in self.effect.list_children_properties():
            widget = named(effects, f"{ELEMENT}::{prop.name}")
            if isinstance(widget, Gtk.SpinButton):
                adjustment = widget.get_adjustment()
                if abs(adjustment.get_value() - prop.default_value) > 1e-6 or \
                        adjustment.get_lower() < prop.minimum or adjustment.get_upper() > prop.maximum:
                    report(f"mismatch: {prop.name} shows {adjustment.get_value()} in "
                           f"{adjustment.get_lower()}..{adjustment.get_upper()}, the element "
                           f"{prop.default_value} in {prop.minimum}..{prop.maximum}")
            elif isinstance(widget, Gtk.Switch) and widget.get_active() != prop.default_value:
                report(f"mismatch: {prop.name} shows {widget.get_active()}, the element {prop.default_value}")
            elif isinstance(widget, Gtk.Entry) and widget.get_text() != prop.default_value:
                report(f"mismatch: {prop.name} shows {widget.get_text()}, the element {prop.default_value}")

    def _type_key(self):
        if not self.keys:
            GLib.timeout_add(1000, self._finish)
            return False
        key = self.keys.pop(0)
        if key == "select-all":
            self.entry.select_region(0, -1)
        else:
            self._press(Gdk.keyval_from_name(key))
        unused_found, value = self.effect.get_child_property("blend")
        report(f"typed {key}: field \"{self.entry.get_text()}\", blend \"{value}\"")
        return True

    def _press(self, keyval):
        """A key pressed and released in Pitivi's window, as GTK takes it from X."""
        window = self.app.gui.get_window()
        keys = Gdk.Keymap.get_for_display(window.get_display()).get_entries_for_keyval(keyval)[1]
        seat = window.get_display().get_default_seat()
        for kind in (Gdk.EventType.KEY_PRESS, Gdk.EventType.KEY_RELEASE):
            event = Gdk.Event.new(kind)
            event.key.window = window
            event.key.keyval = keyval
            event.key.hardware_keycode = keys[0].keycode
            event.key.time = Gtk.get_current_event_time()
            event.set_device(seat.get_keyboard())
            Gtk.main_do_event(event)

    def _finish(self):
        window = self.app.gui.get_window()
        width, height = window.get_width(), window.get_height()
        shot = Gdk.pixbuf_get_from_window(window, 0, 0, width, height)
        shot.savev(os.environ["TIDALHALO_PITIVI_SCREENSHOT"], "png", [], [])
        report("done")
        os._exit(0)
