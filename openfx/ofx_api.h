// The OpenFX image-effect C interface as a plug-in and a host see it: every
// record and suite table member by member in the interface's order, its
// handle and function types, and the strings and numbers this effect and our
// test host use. Host and plug-in share no code, only these shapes; the
// layout test holds each of them against the interface's published figures.
#pragma once

#include <climits>
#include <cstddef>

extern "C" {

typedef int OfxStatus;
typedef double OfxTime;

// Handles are pointers to records that only their owner can look inside.
typedef struct OfxPropertySetStruct *OfxPropertySetHandle;
typedef struct OfxImageEffectStruct *OfxImageEffectHandle;
typedef struct OfxImageClipStruct *OfxImageClipHandle;
typedef struct OfxImageMemoryStruct *OfxImageMemoryHandle;
typedef struct OfxParamStruct *OfxParamHandle;
typedef struct OfxParamSetStruct *OfxParamSetHandle;
typedef struct OfxMutex *OfxMutexHandle;
typedef struct OfxInteract *OfxInteractHandle;
typedef struct OfxDrawContext *OfxDrawContextHandle;

typedef OfxStatus(OfxPluginEntryPoint)(const char *action, const void *handle, OfxPropertySetHandle inArgs,
                                       OfxPropertySetHandle outArgs);
typedef void(OfxThreadFunctionV1)(unsigned int threadIndex, unsigned int threadMax, void *customArg);
typedef OfxStatus(OfxCustomParamInterpFuncV1)(OfxParamSetHandle instance, OfxPropertySetHandle inArgs,
                                              OfxPropertySetHandle outArgs);

struct OfxHost {
    OfxPropertySetHandle host;
    const void *(*fetchSuite)(OfxPropertySetHandle host, const char *suiteName, int suiteVersion);
};

struct OfxPlugin {
    const char *pluginApi;
    int apiVersion;
    const char *pluginIdentifier;
    unsigned int pluginVersionMajor;
    unsigned int pluginVersionMinor;
    void (*setHost)(OfxHost *host);
    OfxPluginEntryPoint *mainEntry;
};

struct OfxRangeI { int min, max; };
struct OfxRangeD { double min, max; };
struct OfxPointI { int x, y; };
struct OfxPointD { double x, y; };
struct OfxRectI { int x1, y1, x2, y2; };
struct OfxRectD { double x1, y1, x2, y2; };
struct OfxBytes {
    const unsigned char *data;
    size_t length;
};

struct OfxRGBAColourB { unsigned char r, g, b, a; };
struct OfxRGBAColourS { unsigned short r, g, b, a; };
struct OfxRGBAColourF { float r, g, b, a; };
struct OfxRGBAColourD { double r, g, b, a; };
struct OfxRGBColourB { unsigned char r, g, b; };
struct OfxRGBColourS { unsigned short r, g, b; };
struct OfxRGBColourF { float r, g, b; };
struct OfxRGBColourD { double r, g, b; };
// Withdrawn from the interface but still laid out by it.
struct OfxYUVAColourB { unsigned char y, u, v, a; };
struct OfxYUVAColourS { unsigned short y, u, v, a; };
struct OfxYUVAColourF { float y, u, v, a; };

struct OfxPropertySuiteV1 {
    OfxStatus (*propSetPointer)(OfxPropertySetHandle properties, const char *property, int index, void *value);
    OfxStatus (*propSetString)(OfxPropertySetHandle properties, const char *property, int index, const char *value);
    OfxStatus (*propSetDouble)(OfxPropertySetHandle properties, const char *property, int index, double value);
    OfxStatus (*propSetInt)(OfxPropertySetHandle properties, const char *property, int index, int value);
    OfxStatus (*propSetPointerN)(OfxPropertySetHandle properties, const char *property, int count,
                                 void *const *value);
    OfxStatus (*propSetStringN)(OfxPropertySetHandle properties, const char *property, int count,
                                const char *const *value);
    OfxStatus (*propSetDoubleN)(OfxPropertySetHandle properties, const char *property, int count,
                                const double *value);
    OfxStatus (*propSetIntN)(OfxPropertySetHandle properties, const char *property, int count, const int *value);
    OfxStatus (*propGetPointer)(OfxPropertySetHandle properties, const char *property, int index, void **value);
    OfxStatus (*propGetString)(OfxPropertySetHandle properties, const char *property, int index, char **value);
    OfxStatus (*propGetDouble)(OfxPropertySetHandle properties, const char *property, int index, double *value);
    OfxStatus (*propGetInt)(OfxPropertySetHandle properties, const char *property, int index, int *value);
    OfxStatus (*propGetPointerN)(OfxPropertySetHandle properties, const char *property, int count, void **value);
    OfxStatus (*propGetStringN)(OfxPropertySetHandle properties, const char *property, int count, char **value);
    OfxStatus (*propGetDoubleN)(OfxPropertySetHandle properties, const char *property, int count, double *value);
    OfxStatus (*propGetIntN)(OfxPropertySetHandle properties, const char *property, int count, int *value);
    OfxStatus (*propReset)(OfxPropertySetHandle properties, const char *property);
    OfxStatus (*propGetDimension)(OfxPropertySetHandle properties, const char *property, int *count);
};

struct OfxMemorySuiteV1 {
    OfxStatus (*memoryAlloc)(void *handle, size_t nBytes, void **allocatedData);
    OfxStatus (*memoryFree)(void *allocatedData);
};

struct OfxMultiThreadSuiteV1 {
    OfxStatus (*multiThread)(OfxThreadFunctionV1 *func, unsigned int nThreads, void *customArg);
    OfxStatus (*multiThreadNumCPUs)(unsigned int *nCPUs);
    OfxStatus (*multiThreadIndex)(unsigned int *threadIndex);
    int (*multiThreadIsSpawnedThread)(void);
    OfxStatus (*mutexCreate)(OfxMutexHandle *mutex, int lockCount);
    OfxStatus (*mutexDestroy)(const OfxMutexHandle mutex);
    OfxStatus (*mutexLock)(const OfxMutexHandle mutex);
    OfxStatus (*mutexUnLock)(const OfxMutexHandle mutex);
    OfxStatus (*mutexTryLock)(const OfxMutexHandle mutex);
};

// Variadic members stay variadic: the Windows x64 convention passes a
// double to them in an integer register too.
struct OfxMessageSuiteV1 {
    OfxStatus (*message)(void *handle, const char *messageType, const char *messageId, const char *format, ...);
};

struct OfxMessageSuiteV2 {
    OfxStatus (*message)(void *handle, const char *messageType, const char *messageId, const char *format, ...);
    OfxStatus (*setPersistentMessage)(void *handle, const char *messageType, const char *messageId,
                                      const char *format, ...);
    OfxStatus (*clearPersistentMessage)(void *handle);
};

struct OfxParameterSuiteV1 {
    OfxStatus (*paramDefine)(OfxParamSetHandle paramSet, const char *paramType, const char *name,
                             OfxPropertySetHandle *propertySet);
    OfxStatus (*paramGetHandle)(OfxParamSetHandle paramSet, const char *name, OfxParamHandle *param,
                                OfxPropertySetHandle *propertySet);
    OfxStatus (*paramSetGetPropertySet)(OfxParamSetHandle paramSet, OfxPropertySetHandle *propHandle);
    OfxStatus (*paramGetPropertySet)(OfxParamHandle param, OfxPropertySetHandle *propHandle);
    OfxStatus (*paramGetValue)(OfxParamHandle paramHandle, ...);
    OfxStatus (*paramGetValueAtTime)(OfxParamHandle paramHandle, OfxTime time, ...);
    OfxStatus (*paramGetDerivative)(OfxParamHandle paramHandle, OfxTime time, ...);
    OfxStatus (*paramGetIntegral)(OfxParamHandle paramHandle, OfxTime time1, OfxTime time2, ...);
    OfxStatus (*paramSetValue)(OfxParamHandle paramHandle, ...);
    OfxStatus (*paramSetValueAtTime)(OfxParamHandle paramHandle, OfxTime time, ...);
    OfxStatus (*paramGetNumKeys)(OfxParamHandle paramHandle, unsigned int *numberOfKeys);
    OfxStatus (*paramGetKeyTime)(OfxParamHandle paramHandle, unsigned int nthKey, OfxTime *time);
    OfxStatus (*paramGetKeyIndex)(OfxParamHandle paramHandle, OfxTime time, int direction, int *index);
    OfxStatus (*paramDeleteKey)(OfxParamHandle paramHandle, OfxTime time);
    OfxStatus (*paramDeleteAllKeys)(OfxParamHandle paramHandle);
    OfxStatus (*paramCopy)(OfxParamHandle paramTo, OfxParamHandle paramFrom, OfxTime dstOffset,
                           const OfxRangeD *frameRange);
    OfxStatus (*paramEditBegin)(OfxParamSetHandle paramSet, const char *name);
    OfxStatus (*paramEditEnd)(OfxParamSetHandle paramSet);
};

struct OfxInteractSuiteV1 {
    OfxStatus (*interactSwapBuffers)(OfxInteractHandle interactInstance);
    OfxStatus (*interactRedraw)(OfxInteractHandle interactInstance);
    OfxStatus (*interactGetPropertySet)(OfxInteractHandle interactInstance, OfxPropertySetHandle *property);
};

struct OfxImageEffectSuiteV1 {
    OfxStatus (*getPropertySet)(OfxImageEffectHandle imageEffect, OfxPropertySetHandle *propHandle);
    OfxStatus (*getParamSet)(OfxImageEffectHandle imageEffect, OfxParamSetHandle *paramSet);
    OfxStatus (*clipDefine)(OfxImageEffectHandle imageEffect, const char *name, OfxPropertySetHandle *propertySet);
    OfxStatus (*clipGetHandle)(OfxImageEffectHandle imageEffect, const char *name, OfxImageClipHandle *clip,
                               OfxPropertySetHandle *propertySet);
    OfxStatus (*clipGetPropertySet)(OfxImageClipHandle clip, OfxPropertySetHandle *propHandle);
    OfxStatus (*clipGetImage)(OfxImageClipHandle clip, OfxTime time, const OfxRectD *region,
                              OfxPropertySetHandle *imageHandle);
    OfxStatus (*clipReleaseImage)(OfxPropertySetHandle imageHandle);
    OfxStatus (*clipGetRegionOfDefinition)(OfxImageClipHandle clip, OfxTime time, OfxRectD *bounds);
    int (*abort)(OfxImageEffectHandle imageEffect);
    OfxStatus (*imageMemoryAlloc)(OfxImageEffectHandle instanceHandle, size_t nBytes,
                                  OfxImageMemoryHandle *memoryHandle);
    OfxStatus (*imageMemoryFree)(OfxImageMemoryHandle memoryHandle);
    OfxStatus (*imageMemoryLock)(OfxImageMemoryHandle memoryHandle, void **returnedPtr);
    OfxStatus (*imageMemoryUnlock)(OfxImageMemoryHandle memoryHandle);
};

struct OfxProgressSuiteV1 {
    OfxStatus (*progressStart)(void *effectInstance, const char *label);
    OfxStatus (*progressUpdate)(void *effectInstance, double progress);
    OfxStatus (*progressEnd)(void *effectInstance);
};

struct OfxProgressSuiteV2 {
    OfxStatus (*progressStart)(void *effectInstance, const char *message, const char *messageid);
    OfxStatus (*progressUpdate)(void *effectInstance, double progress);
    OfxStatus (*progressEnd)(void *effectInstance);
};

struct OfxTimeLineSuiteV1 {
    OfxStatus (*getTime)(void *instance, double *time);
    OfxStatus (*gotoTime)(void *instance, double time);
    OfxStatus (*getTimeBounds)(void *instance, double *firstTime, double *lastTime);
};

struct OfxParametricParameterSuiteV1 {
    OfxStatus (*parametricParamGetValue)(OfxParamHandle param, int curveIndex, OfxTime time,
                                         double parametricPosition, double *returnValue);
    OfxStatus (*parametricParamGetNControlPoints)(OfxParamHandle param, int curveIndex, double time,
                                                  int *returnValue);
    OfxStatus (*parametricParamGetNthControlPoint)(OfxParamHandle param, int curveIndex, double time, int nthCtl,
                                                   double *key, double *value);
    OfxStatus (*parametricParamSetNthControlPoint)(OfxParamHandle param, int curveIndex, double time, int nthCtl,
                                                   double key, double value, bool addAnimationKey);
    OfxStatus (*parametricParamAddControlPoint)(OfxParamHandle param, int curveIndex, double time, double key,
                                                double value, bool addAnimationKey);
    OfxStatus (*parametricParamDeleteControlPoint)(OfxParamHandle param, int curveIndex, int nthCtl);
    OfxStatus (*parametricParamDeleteAllControlPoints)(OfxParamHandle param, int curveIndex);
};

enum OfxStandardColour {
    kOfxStandardColourOverlayBackground = 0,
    kOfxStandardColourOverlayActive = 1,
    kOfxStandardColourOverlaySelected = 2,
    kOfxStandardColourOverlayDeselected = 3,
    kOfxStandardColourOverlayMarqueeFG = 4,
    kOfxStandardColourOverlayMarqueeBG = 5,
    kOfxStandardColourOverlayText = 6
};

enum OfxDrawLineStipplePattern {
    kOfxDrawLineStipplePatternSolid = 0,
    kOfxDrawLineStipplePatternDot = 1,
    kOfxDrawLineStipplePatternDash = 2,
    kOfxDrawLineStipplePatternAltDash = 3,
    kOfxDrawLineStipplePatternDotDash = 4
};

enum OfxDrawPrimitive {
    kOfxDrawPrimitiveLines = 0,
    kOfxDrawPrimitiveLineStrip = 1,
    kOfxDrawPrimitiveLineLoop = 2,
    kOfxDrawPrimitiveRectangle = 3,
    kOfxDrawPrimitivePolygon = 4,
    kOfxDrawPrimitiveEllipse = 5
};

enum OfxDrawTextAlignment {
    kOfxDrawTextAlignmentLeft = 1,
    kOfxDrawTextAlignmentRight = 2,
    kOfxDrawTextAlignmentTop = 4,
    kOfxDrawTextAlignmentBottom = 8,
    kOfxDrawTextAlignmentBaseline = 16,
    kOfxDrawTextAlignmentCenterH = 3,
    kOfxDrawTextAlignmentCenterV = 20
};

struct OfxDrawSuiteV1 {
    OfxStatus (*getColour)(OfxDrawContextHandle context, OfxStandardColour std_colour, OfxRGBAColourF *colour);
    OfxStatus (*setColour)(OfxDrawContextHandle context, const OfxRGBAColourF *colour);
    OfxStatus (*setLineWidth)(OfxDrawContextHandle context, float width);
    OfxStatus (*setLineStipple)(OfxDrawContextHandle context, OfxDrawLineStipplePattern pattern);
    OfxStatus (*draw)(OfxDrawContextHandle context, OfxDrawPrimitive primitive, const OfxPointD *points,
                      int point_count);
    OfxStatus (*drawText)(OfxDrawContextHandle context, const char *text, const OfxPointD *pos, int alignment);
};

struct OfxDialogSuiteV1 {
    OfxStatus (*RequestDialog)(void *user_data);
    OfxStatus (*NotifyRedrawPending)(void);
};

struct OfxImageEffectOpenGLRenderSuiteV1 {
    OfxStatus (*clipLoadTexture)(OfxImageClipHandle clip, OfxTime time, const char *format, const OfxRectD *region,
                                 OfxPropertySetHandle *textureHandle);
    OfxStatus (*clipFreeTexture)(OfxPropertySetHandle textureHandle);
    OfxStatus (*flushResources)(void);
};

struct OfxOpenCLProgramSuiteV1 {
    OfxStatus (*compileProgram)(const char *pszProgramSource, int fOptional, void *pResult);
};

}  // extern "C"

// Status codes: general ones below 1000, the image effect's from 1000.
inline constexpr OfxStatus kOfxStatOK = 0;
inline constexpr OfxStatus kOfxStatFailed = 1;
inline constexpr OfxStatus kOfxStatErrFatal = 2;
inline constexpr OfxStatus kOfxStatErrUnknown = 3;
inline constexpr OfxStatus kOfxStatErrMissingHostFeature = 4;
inline constexpr OfxStatus kOfxStatErrUnsupported = 5;
inline constexpr OfxStatus kOfxStatErrExists = 6;
inline constexpr OfxStatus kOfxStatErrFormat = 7;
inline constexpr OfxStatus kOfxStatErrMemory = 8;
inline constexpr OfxStatus kOfxStatErrBadHandle = 9;
inline constexpr OfxStatus kOfxStatErrBadIndex = 10;
inline constexpr OfxStatus kOfxStatErrValue = 11;
inline constexpr OfxStatus kOfxStatReplyYes = 12;
inline constexpr OfxStatus kOfxStatReplyNo = 13;
inline constexpr OfxStatus kOfxStatReplyDefault = 14;
inline constexpr OfxStatus kOfxStatErrImageFormat = 1000;

inline constexpr int kOfxFlagInfiniteMax = INT_MAX;
inline constexpr int kOfxFlagInfiniteMin = INT_MIN;

inline constexpr char kOfxImageEffectPluginApi[] = "OfxImageEffectPluginAPI";
inline constexpr int kOfxImageEffectPluginApiVersion = 1;

// Suite names.
inline constexpr char kOfxPropertySuite[] = "OfxPropertySuite";
inline constexpr char kOfxImageEffectSuite[] = "OfxImageEffectSuite";
inline constexpr char kOfxParameterSuite[] = "OfxParameterSuite";
inline constexpr char kOfxMemorySuite[] = "OfxMemorySuite";
inline constexpr char kOfxMultiThreadSuite[] = "OfxMultiThreadSuite";
inline constexpr char kOfxMessageSuite[] = "OfxMessageSuite";
inline constexpr char kOfxInteractSuite[] = "OfxInteractSuite";
inline constexpr char kOfxDrawSuite[] = "OfxDrawSuite";

// Actions.
inline constexpr char kOfxActionLoad[] = "OfxActionLoad";
inline constexpr char kOfxActionDescribe[] = "OfxActionDescribe";
inline constexpr char kOfxActionUnload[] = "OfxActionUnload";
inline constexpr char kOfxActionPurgeCaches[] = "OfxActionPurgeCaches";
inline constexpr char kOfxActionSyncPrivateData[] = "OfxActionSyncPrivateData";
inline constexpr char kOfxActionCreateInstance[] = "OfxActionCreateInstance";
inline constexpr char kOfxActionDestroyInstance[] = "OfxActionDestroyInstance";
inline constexpr char kOfxActionInstanceChanged[] = "OfxActionInstanceChanged";
inline constexpr char kOfxImageEffectActionDescribeInContext[] = "OfxImageEffectActionDescribeInContext";
inline constexpr char kOfxImageEffectActionGetRegionOfDefinition[] = "OfxImageEffectActionGetRegionOfDefinition";
inline constexpr char kOfxImageEffectActionGetRegionsOfInterest[] = "OfxImageEffectActionGetRegionsOfInterest";
inline constexpr char kOfxImageEffectActionGetClipPreferences[] = "OfxImageEffectActionGetClipPreferences";
inline constexpr char kOfxImageEffectActionIsIdentity[] = "OfxImageEffectActionIsIdentity";
inline constexpr char kOfxImageEffectActionRender[] = "OfxImageEffectActionRender";
inline constexpr char kOfxImageEffectActionBeginSequenceRender[] = "OfxImageEffectActionBeginSequenceRender";
inline constexpr char kOfxImageEffectActionEndSequenceRender[] = "OfxImageEffectActionEndSequenceRender";

// An overlay's actions; it is described, created and destroyed with the
// effect's own action names.
inline constexpr char kOfxInteractActionDraw[] = "OfxInteractActionDraw";
inline constexpr char kOfxInteractActionPenMotion[] = "OfxInteractActionPenMotion";
inline constexpr char kOfxInteractActionPenDown[] = "OfxInteractActionPenDown";
inline constexpr char kOfxInteractActionPenUp[] = "OfxInteractActionPenUp";
inline constexpr char kOfxInteractActionKeyDown[] = "OfxInteractActionKeyDown";
inline constexpr char kOfxInteractActionKeyUp[] = "OfxInteractActionKeyUp";
inline constexpr char kOfxInteractActionKeyRepeat[] = "OfxInteractActionKeyRepeat";
inline constexpr char kOfxInteractActionGainFocus[] = "OfxInteractActionGainFocus";
inline constexpr char kOfxInteractActionLoseFocus[] = "OfxInteractActionLoseFocus";

// Properties.
inline constexpr char kOfxPropAPIVersion[] = "OfxPropAPIVersion";
inline constexpr char kOfxPropTime[] = "OfxPropTime";
inline constexpr char kOfxPropType[] = "OfxPropType";
inline constexpr char kOfxPropName[] = "OfxPropName";
inline constexpr char kOfxPropLabel[] = "OfxPropLabel";
inline constexpr char kOfxPropShortLabel[] = "OfxPropShortLabel";
inline constexpr char kOfxPropLongLabel[] = "OfxPropLongLabel";
inline constexpr char kOfxPropVersion[] = "OfxPropVersion";
inline constexpr char kOfxPropVersionLabel[] = "OfxPropVersionLabel";
inline constexpr char kOfxPropPluginDescription[] = "OfxPropPluginDescription";
inline constexpr char kOfxPropInstanceData[] = "OfxPropInstanceData";
inline constexpr char kOfxImageEffectPropContext[] = "OfxImageEffectPropContext";
inline constexpr char kOfxImageEffectPropSupportedContexts[] = "OfxImageEffectPropSupportedContexts";
inline constexpr char kOfxImageEffectPropSupportedPixelDepths[] = "OfxImageEffectPropSupportedPixelDepths";
inline constexpr char kOfxImageEffectPropSupportedComponents[] = "OfxImageEffectPropSupportedComponents";
inline constexpr char kOfxImageEffectPluginPropGrouping[] = "OfxImageEffectPluginPropGrouping";
inline constexpr char kOfxImageEffectPluginRenderThreadSafety[] = "OfxImageEffectPluginRenderThreadSafety";
inline constexpr char kOfxImageEffectPluginPropHostFrameThreading[] = "OfxImageEffectPluginPropHostFrameThreading";
inline constexpr char kOfxImageEffectPropSupportsMultiResolution[] = "OfxImageEffectPropSupportsMultiResolution";
inline constexpr char kOfxImageEffectPropSupportsTiles[] = "OfxImageEffectPropSupportsTiles";
inline constexpr char kOfxImageEffectPropTemporalClipAccess[] = "OfxImageEffectPropTemporalClipAccess";
inline constexpr char kOfxImageEffectPropSupportsMultipleClipDepths[] = "OfxImageEffectPropMultipleClipDepths";
inline constexpr char kOfxImageEffectPluginPropFieldRenderTwiceAlways[] =
    "OfxImageEffectPluginPropFieldRenderTwiceAlways";
inline constexpr char kOfxImageEffectPropRenderScale[] = "OfxImageEffectPropRenderScale";
inline constexpr char kOfxImageEffectPropRenderWindow[] = "OfxImageEffectPropRenderWindow";
inline constexpr char kOfxImageEffectPropFieldToRender[] = "OfxImageEffectPropFieldToRender";
inline constexpr char kOfxImageEffectPropRegionOfDefinition[] = "OfxImageEffectPropRegionOfDefinition";
inline constexpr char kOfxImageEffectPropRegionOfInterest[] = "OfxImageEffectPropRegionOfInterest";
inline constexpr char kOfxImageEffectPropPixelDepth[] = "OfxImageEffectPropPixelDepth";
inline constexpr char kOfxImageEffectPropComponents[] = "OfxImageEffectPropComponents";
inline constexpr char kOfxImageEffectPropPreMultiplication[] = "OfxImageEffectPropPreMultiplication";
inline constexpr char kOfxImageClipPropOptional[] = "OfxImageClipPropOptional";
inline constexpr char kOfxImageClipPropConnected[] = "OfxImageClipPropConnected";
inline constexpr char kOfxImagePropData[] = "OfxImagePropData";
inline constexpr char kOfxImagePropBounds[] = "OfxImagePropBounds";
inline constexpr char kOfxImagePropRegionOfDefinition[] = "OfxImagePropRegionOfDefinition";
inline constexpr char kOfxImagePropRowBytes[] = "OfxImagePropRowBytes";
inline constexpr char kOfxImagePropPixelAspectRatio[] = "OfxImagePropPixelAspectRatio";
inline constexpr char kOfxParamPropType[] = "OfxParamPropType";
inline constexpr char kOfxParamPropScriptName[] = "OfxParamPropScriptName";
inline constexpr char kOfxParamPropHint[] = "OfxParamPropHint";
inline constexpr char kOfxParamPropDefault[] = "OfxParamPropDefault";
inline constexpr char kOfxParamPropAnimates[] = "OfxParamPropAnimates";
inline constexpr char kOfxParamPropMin[] = "OfxParamPropMin";
inline constexpr char kOfxParamPropMax[] = "OfxParamPropMax";
inline constexpr char kOfxParamPropDisplayMin[] = "OfxParamPropDisplayMin";
inline constexpr char kOfxParamPropDisplayMax[] = "OfxParamPropDisplayMax";
inline constexpr char kOfxParamPropDoubleType[] = "OfxParamPropDoubleType";
inline constexpr char kOfxParamPropDefaultCoordinateSystem[] = "OfxParamPropDefaultCoordinateSystem";
inline constexpr char kOfxParamPropChoiceOption[] = "OfxParamPropChoiceOption";
inline constexpr char kOfxParamPropDigits[] = "OfxParamPropDigits";
inline constexpr char kOfxParamPropIncrement[] = "OfxParamPropIncrement";
inline constexpr char kOfxParamPropHasHostOverlayHandle[] = "OfxParamPropHasHostOverlayHandle";
inline constexpr char kOfxParamPropUseHostOverlayHandle[] = "kOfxParamPropUseHostOverlayHandle";
inline constexpr char kOfxPropEffectInstance[] = "OfxPropEffectInstance";
inline constexpr char kOfxImageEffectPropSupportsOverlays[] = "OfxImageEffectPropSupportsOverlays";
inline constexpr char kOfxImageEffectPluginPropOverlayInteractV1[] = "OfxImageEffectPluginPropOverlayInteractV1";
inline constexpr char kOfxImageEffectPluginPropOverlayInteractV2[] = "OfxImageEffectPluginPropOverlayInteractV2";
inline constexpr char kOfxInteractPropSlaveToParam[] = "OfxInteractPropSlaveToParam";
inline constexpr char kOfxInteractPropPixelScale[] = "OfxInteractPropPixelScale";
inline constexpr char kOfxInteractPropBackgroundColour[] = "OfxInteractPropBackgroundColour";
inline constexpr char kOfxInteractPropSuggestedColour[] = "OfxInteractPropSuggestedColour";
inline constexpr char kOfxInteractPropPenPosition[] = "OfxInteractPropPenPosition";
inline constexpr char kOfxInteractPropPenViewportPosition[] = "OfxInteractPropPenViewportPosition";
inline constexpr char kOfxInteractPropPenPressure[] = "OfxInteractPropPenPressure";
inline constexpr char kOfxInteractPropBitDepth[] = "OfxInteractPropBitDepth";
inline constexpr char kOfxInteractPropHasAlpha[] = "OfxInteractPropHasAlpha";
inline constexpr char kOfxInteractPropDrawContext[] = "OfxInteractPropDrawContext";
inline constexpr char kOfxPropKeySym[] = "kOfxPropKeySym";
inline constexpr char kOfxPropKeyString[] = "kOfxPropKeyString";

// Values of the properties above.
inline constexpr char kOfxImageEffectContextFilter[] = "OfxImageEffectContextFilter";
inline constexpr char kOfxImageEffectContextGeneral[] = "OfxImageEffectContextGeneral";
inline constexpr char kOfxBitDepthNone[] = "OfxBitDepthNone";
inline constexpr char kOfxBitDepthByte[] = "OfxBitDepthByte";
inline constexpr char kOfxBitDepthShort[] = "OfxBitDepthShort";
inline constexpr char kOfxBitDepthHalf[] = "OfxBitDepthHalf";
inline constexpr char kOfxBitDepthFloat[] = "OfxBitDepthFloat";
inline constexpr char kOfxImageComponentRGBA[] = "OfxImageComponentRGBA";
inline constexpr char kOfxImageComponentRGB[] = "OfxImageComponentRGB";
inline constexpr char kOfxImageComponentAlpha[] = "OfxImageComponentAlpha";
inline constexpr char kOfxImageOpaque[] = "OfxImageOpaque";
inline constexpr char kOfxImagePreMultiplied[] = "OfxImageAlphaPremultiplied";
inline constexpr char kOfxImageUnPreMultiplied[] = "OfxImageAlphaUnPremultiplied";
inline constexpr char kOfxImageEffectRenderUnsafe[] = "OfxImageEffectRenderUnsafe";
inline constexpr char kOfxImageEffectRenderInstanceSafe[] = "OfxImageEffectRenderInstanceSafe";
inline constexpr char kOfxImageEffectRenderFullySafe[] = "OfxImageEffectRenderFullySafe";
inline constexpr char kOfxImageEffectOutputClipName[] = "Output";
inline constexpr char kOfxImageEffectSimpleSourceClipName[] = "Source";
inline constexpr char kOfxTypeImageEffectHost[] = "OfxTypeImageEffectHost";
inline constexpr char kOfxTypeImageEffect[] = "OfxTypeImageEffect";
inline constexpr char kOfxTypeImageEffectInstance[] = "OfxTypeImageEffectInstance";
inline constexpr char kOfxTypeParameter[] = "OfxTypeParameter";
inline constexpr char kOfxTypeClip[] = "OfxTypeClip";
inline constexpr char kOfxTypeImage[] = "OfxTypeImage";
inline constexpr char kOfxParamTypeDouble[] = "OfxParamTypeDouble";
inline constexpr char kOfxParamTypeDouble2D[] = "OfxParamTypeDouble2D";
inline constexpr char kOfxParamTypeRGB[] = "OfxParamTypeRGB";
inline constexpr char kOfxParamTypeBoolean[] = "OfxParamTypeBoolean";
inline constexpr char kOfxParamTypeChoice[] = "OfxParamTypeChoice";
inline constexpr char kOfxParamDoubleTypePlain[] = "OfxParamDoubleTypePlain";
inline constexpr char kOfxParamDoubleTypeXYAbsolute[] = "OfxParamDoubleTypeXYAbsolute";
inline constexpr char kOfxParamCoordinatesCanonical[] = "OfxParamCoordinatesCanonical";
inline constexpr char kOfxParamCoordinatesNormalised[] = "OfxParamCoordinatesNormalised";
inline constexpr char kOfxImageFieldNone[] = "OfxFieldNone";
inline constexpr char kOfxImageFieldBoth[] = "OfxFieldBoth";
inline constexpr char kOfxMessageError[] = "OfxMessageError";
inline constexpr char kOfxMessageWarning[] = "OfxMessageWarning";
