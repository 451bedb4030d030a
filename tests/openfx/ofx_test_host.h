// Our own OpenFX host for tests: it loads a plug-in binary through its two
// exports, offers the property, image-effect, parameter, multithread, memory
// and message suites, describes the effect, creates instances, sets their
// parameters and renders images it owns. Every breach of the interface's
// contract by the plug-in (a bad handle, a property of the wrong type or
// dimension, an image not released, a value read the wrong way in a render)
// is recorded as the exact call that made it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "openfx/ofx_api.h"

namespace tidalhalo::ofxtest {

enum class Strictness {
    Off,   // not checked
    Warn,  // written to stderr
    Fail   // kept in Breaches() for the test to fail on
};

// What the host offers; each may be turned off to play a poorer host.
struct HostOptions {
    bool multithread_suite = true;
    bool single_threaded_stand_in = false;  // multiThread runs every index on the calling thread
    bool message_suite = true;
    bool normalised_defaults = true;        // knows OfxParamPropDefaultCoordinateSystem
    bool newer_properties = true;           // knows the 1.2 version and description properties
    int overlays = 1;                       // OfxImageEffectPropSupportsOverlays; -1 leaves it out
    bool interact_suite = true;
    bool draw_suite = false;                // offers the 1.5 draw suite
    unsigned cpus = 2;
};

// One property: its type ('i', 'd', 's', 'p'), its dimension (0 for any)
// and its values.
struct Property {
    char type = 'i';
    int dimension = 1;
    bool plugin_writes = true;
    std::vector<int> ints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<void *> pointers;
    int Count() const;
};

struct PropertySet {
    std::string what;  // how calls name it: "effect descriptor", "param radius", ...
    std::map<std::string, Property> properties;
    void Define(const std::string &name, char type, int dimension, bool plugin_writes);
    void SetString(const std::string &name, const std::string &value, int dimension = 1);
    void SetStrings(const std::string &name, const std::vector<std::string> &values);
    void SetInts(const std::string &name, const std::vector<int> &values, int dimension = -1);
    void SetDoubles(const std::string &name, const std::vector<double> &values, int dimension = -1);
    void SetPointer(const std::string &name, void *value);
    const Property *Find(const std::string &name) const;
};

// A picture in host memory, RGBA in one of the three depths, addressed from
// its bottom row. row_bytes may be negative and larger than a row.
struct HostImage {
    std::string depth = kOfxBitDepthByte;
    std::string components = kOfxImageComponentRGBA;
    OfxRectI bounds{0, 0, 0, 0};
    int row_bytes = 0;
    std::vector<unsigned char> storage;
    std::ptrdiff_t bottom_offset = 0;  // where the bottom row starts in storage

    // A picture of these bounds, rows padded by padding bytes, stored top
    // down (negative row_bytes) when top_down is true; filled with fill.
    static HostImage Make(const std::string &depth, OfxRectI bounds, int padding, bool top_down,
                          unsigned char fill = 0);
    int PixelBytes() const;
    unsigned char *Pixel(int x, int y);
    const unsigned char *Pixel(int x, int y) const;
    void *Data() { return storage.empty() ? nullptr : storage.data() + bottom_offset; }
};

struct Param {
    std::string name;
    std::string type;
    PropertySet props;
    std::vector<double> values;                   // one per dimension; ints as doubles
    std::map<double, std::vector<double>> keys;  // when animated: values at key times, held between them
};

struct Clip {
    std::string name;
    PropertySet props;
    HostImage *image = nullptr;  // what clipGetImage hands out; null answers "failed"
    OfxRectD rod{0, 0, 0, 0};
    double render_scale[2] = {1, 1};
};

struct Effect {
    PropertySet props;
    PropertySet param_set_props;
    std::vector<std::unique_ptr<Param>> params;
    std::map<std::string, std::unique_ptr<Clip>> clips;
    bool is_instance = false;
};

// An overlay the plug-in draws over the host's viewer.
struct Interact {
    PropertySet props;
    Effect *effect = nullptr;
    int redraws = 0;  // interactRedraw calls
};

// What the host's draw suite was asked to do, call by call.
struct DrawCall {
    std::string what;  // "setColour", "setLineWidth", "draw", ...
    OfxRGBAColourF colour{0, 0, 0, 0};
    float width = 0;
    int primitive = -1;
    std::vector<OfxPointD> points;
};
struct DrawRecording {
    std::vector<DrawCall> calls;
};

// Where the viewer's pen is and how the viewer shows canonical space.
struct OverlayEvent {
    double time = 0;
    double scale_x = 1, scale_y = 1;  // canonical units per screen pixel
    double x = 0, y = 0;              // pen, canonical
    DrawRecording *draw_context = nullptr;  // a draw through the host's draw suite
};

struct RenderRequest {
    double time = 0;
    double scale_x = 1, scale_y = 1;
    OfxRectI window{0, 0, 0, 0};
};

class TestHost {
public:
    // Loads the binary and describes its one effect (load, describe,
    // describe in the filter context). Throws std::runtime_error when the
    // binary or its exports cannot be found.
    explicit TestHost(const std::string &binary, HostOptions options = {}, Strictness level = Strictness::Fail);
    ~TestHost();
    TestHost(const TestHost &) = delete;
    TestHost &operator=(const TestHost &) = delete;

    int NumberOfPlugins() const { return plugin_count_; }
    const OfxPlugin &Plugin() const { return *plugin_; }

    // The actions as a host sends them; each returns the plug-in's status.
    OfxStatus Call(const char *action, const void *handle, OfxPropertySetHandle in_args = nullptr,
                   OfxPropertySetHandle out_args = nullptr);
    OfxStatus Load();
    OfxStatus Unload();
    OfxStatus Describe();
    OfxStatus DescribeInContext(const char *context = kOfxImageEffectContextFilter);

    const Effect &Descriptor() const { return *descriptor_; }
    const Effect &ContextDescriptor() const { return *context_descriptor_; }

    // A new instance of the described effect (its parameters at their
    // defaults for a source of the given region of definition); null when the
    // plug-in refused it.
    Effect *CreateInstance(const OfxRectD &source_rod, double pixel_aspect = 1.0,
                           const char *premultiplication = kOfxImageUnPreMultiplied);
    OfxStatus DestroyInstance(Effect *instance);

    Param *FindParam(Effect &effect, const std::string &name);
    void SetParam(Effect &instance, const std::string &name, std::vector<double> values);

    // Renders the window into output, reading source (either may be null).
    OfxStatus Render(Effect &instance, const RenderRequest &request, HostImage *source, HostImage *output);

    OfxStatus ClipPreferences(Effect &instance, PropertySet &out_args);

    // The overlay entry the describe action gave (V1, or V2), or null.
    OfxPluginEntryPoint *OverlayEntry(bool v2 = false) const;
    // Describes and creates an overlay on the instance; null when the plug-in
    // has none or refused it. suggested_colour empty gives none.
    Interact *CreateOverlay(Effect &instance, const std::vector<double> &suggested_colour = {});
    OfxStatus DestroyOverlay(Interact *interact);
    // An overlay action with arguments built from the event (draw and pen
    // actions), or with the given arguments, or none (in_args null).
    OfxStatus OverlayCall(const char *action, const void *handle, PropertySet *in_args);
    OfxStatus Draw(Interact &interact, const OverlayEvent &event);
    OfxStatus Pen(Interact &interact, const char *action, const OverlayEvent &event);
    PropertySet DrawArgs(Interact &interact, const OverlayEvent &event) const;
    PropertySet PenArgs(Interact &interact, const OverlayEvent &event) const;
    // Parameter edits as the plug-in made them: "begin <name>", "end",
    // "set <param> v...", "key <param> @t v...".
    std::vector<std::string> Edits() const;
    void ClearEdits();
    void Edit(const std::string &what);
    int OpenEdits() const;
    void OpenEdit(int change);

    // Breaches recorded so far, and the messages the plug-in sent.
    std::vector<std::string> Breaches() const;
    std::vector<std::string> Messages() const;
    void ClearBreaches();
    int OutstandingImages() const;
    HostOptions &Options() { return options_; }

    // For the suites' functions.
    static TestHost *Active();
    void Breach(const std::string &what);
    void Message(const std::string &text);
    bool IsPropertySet(const void *handle) const;
    bool IsEffect(const void *handle) const;
    bool IsClip(const void *handle) const;
    bool IsParam(const void *handle) const;
    bool IsParamSet(const void *handle) const;
    bool IsHandle(const void *handle, char kind) const;
    PropertySet *ImageHandOut(Clip &clip, double time);
    bool ImageGiveBack(const void *handle);
    const void *FetchSuite(OfxPropertySetHandle host, const char *name, int version);
    bool InRender() const;
    std::recursive_mutex &Lock() const { return lock_; }
    void Register(const void *handle, char kind, Effect *owner = nullptr);
    Effect *ParamSetEffect(const void *handle) const;

private:
    // A breach when the plug-in left a property it must set empty.
    void RequireSet(const PropertySet &set, const char *name, const char *who);

    void *library_ = nullptr;
    int plugin_count_ = 0;
    OfxPlugin *plugin_ = nullptr;
    HostOptions options_;
    Strictness level_;
    PropertySet host_props_;
    OfxHost host_{};
    std::unique_ptr<Effect> descriptor_;
    std::unique_ptr<Effect> context_descriptor_;
    std::vector<std::unique_ptr<Effect>> instances_;
    std::vector<std::unique_ptr<Interact>> interacts_;
    std::vector<std::string> edits_;
    int open_edits_ = 0;
    // 'p' property set, 'e' effect, 'c' clip, 'q' param, 's' param set,
    // 'i' interact, 'd' draw context
    std::set<std::pair<const void *, char>> handles_;
    struct HeldImage {
        std::unique_ptr<PropertySet> props;
        std::thread::id thread;  // the render that fetched it
    };
    std::map<const void *, HeldImage> images_out_;
    std::map<const void *, Effect *> owners_;  // of parameter sets
    mutable std::recursive_mutex lock_;
    std::vector<std::string> breaches_;
    std::vector<std::string> messages_;
};

}  // namespace tidalhalo::ofxtest
