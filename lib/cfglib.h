// The appliance's settings store (one file per setting under /corvane/cfg),
// the cipher-set files and the add-on controller markers.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>

namespace lbsnap {

// Capacity of the caller's value buffer: at most CFGARGLEN-1 bytes of a
// setting are read; 0 means 8192. Not restored after a read.
extern int CFGARGLEN;
// When non-zero, the next setting path is formed in /corvane/local_cfg.
extern int CFG_LOCAL_CFG;

// The path of setting `name`; honours and clears CFG_LOCAL_CFG.
std::string mkcfgfile(const char* name);
void READXVAL(std::string& val, const char* name, const char* sub, const char* dflt);
void READVAL(std::string& val, const char* name, const char* dflt);
int READIVAL(const char* name, int dflt);

// 1 and the cipher list if the file `path` has the set; else 0.
int __read_cipherset(const char* path, const char* name, std::string& ciphers);
// Records a custom cipher set in the custom set file; 0 or -1.
int update_cipherset(const char* name, const char* ciphers);
// "+NAME" for each installed add-on that controls VS `id`, at most size-1
// characters in all.
void chk_ext_ctrl(int id, std::string& out, int size);
// The names of the per-VS marker directories that chk_ext_ctrl looks into
// (VS ids as text), or nothing when they cannot be listed: then any VS may
// have one. Lets a walk over many VSs look only where there is something.
std::optional<std::unordered_set<std::string>> ext_ctrl_dirs();

}  // namespace lbsnap
