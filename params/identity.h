/* The effect's identity: one definition serves every face (the module's
   GlobalSetup and registration resource script, the OpenFX plug-in, the
   frei0r filter), so they can never disagree. Plain macros, because the
   resource compiler's preprocessor reads this file. */
#ifndef TIDALHALO_IDENTITY_H
#define TIDALHALO_IDENTITY_H

#define TIDALHALO_NAME "Kv_Tidalhalo"
#define TIDALHALO_CATEGORY "Mertvekv"
#define TIDALHALO_MATCH_NAME "Kv_Tidalhalo/1/Mertvek_678FCDA"

#define TIDALHALO_MAJOR_VERSION 2
#define TIDALHALO_MINOR_VERSION 0

/* PF_VERSION(2, 0, 0, PF_Stage_RELEASE, 1) */
#define TIDALHALO_VERSION 0x00100601

/* PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_PIX_INDEPENDENT */
#define TIDALHALO_OUT_FLAGS 0x02000400
/* PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE */
#define TIDALHALO_OUT_FLAGS2 0x00001400

#endif
