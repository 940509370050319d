#include "platform/system_info.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace brisa {

namespace {

struct LocaleId {
    const char* locale; // "ll" or "ll_CC"
    uint16_t id;
};

// Windows language ids of the languages of Europe and the major languages of
// Asia and the Americas. A language without its country takes the first entry
// of that language (its primary country).
constexpr LocaleId kLocales[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009},
    {"en_NZ", 0x1409}, {"en_IE", 0x1809}, {"en_ZA", 0x1C09}, {"en_JM", 0x2009},
    {"en_BZ", 0x2809}, {"en_TT", 0x2C09}, {"en_ZW", 0x3009}, {"en_PH", 0x3409},
    {"en_IN", 0x4009}, {"en_MY", 0x4409}, {"en_SG", 0x4809},
    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"de_BE", 0x0407},
    {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"fr_MC", 0x180C},
    {"it_IT", 0x0410}, {"it_CH", 0x0810},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_GT", 0x100A}, {"es_CR", 0x140A},
    {"es_PA", 0x180A}, {"es_DO", 0x1C0A}, {"es_VE", 0x200A}, {"es_CO", 0x240A},
    {"es_PE", 0x280A}, {"es_AR", 0x2C0A}, {"es_EC", 0x300A}, {"es_CL", 0x340A},
    {"es_UY", 0x380A}, {"es_PY", 0x3C0A}, {"es_BO", 0x400A}, {"es_SV", 0x440A},
    {"es_HN", 0x480A}, {"es_NI", 0x4C0A}, {"es_PR", 0x500A}, {"es_US", 0x540A},
    {"pt_PT", 0x0816}, {"pt_BR", 0x0416},
    {"nl_NL", 0x0413}, {"nl_BE", 0x0813},
    {"sv_SE", 0x041D}, {"sv_FI", 0x081D},
    {"da_DK", 0x0406}, {"nb_NO", 0x0414}, {"no_NO", 0x0414}, {"nn_NO", 0x0814},
    {"fi_FI", 0x040B}, {"is_IS", 0x040F}, {"fo_FO", 0x0438}, {"el_GR", 0x0408},
    {"el_CY", 0x0408}, {"ga_IE", 0x083C}, {"gd_GB", 0x0491}, {"cy_GB", 0x0452},
    {"br_FR", 0x047E}, {"ca_ES", 0x0403}, {"eu_ES", 0x042D}, {"gl_ES", 0x0456},
    {"lb_LU", 0x046E}, {"mt_MT", 0x043A}, {"fy_NL", 0x0462}, {"rm_CH", 0x0417},
    {"pl_PL", 0x0415}, {"cs_CZ", 0x0405}, {"sk_SK", 0x041B}, {"hu_HU", 0x040E},
    {"ro_RO", 0x0418}, {"bg_BG", 0x0402}, {"hr_HR", 0x041A}, {"sl_SI", 0x0424},
    {"sr_RS", 0x241A}, {"bs_BA", 0x141A}, {"mk_MK", 0x042F}, {"sq_AL", 0x041C},
    {"et_EE", 0x0425}, {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"ru_RU", 0x0419},
    {"uk_UA", 0x0422}, {"be_BY", 0x0423}, {"tr_TR", 0x041F}, {"ka_GE", 0x0437},
    {"hy_AM", 0x042B}, {"az_AZ", 0x042C}, {"kk_KZ", 0x043F},
    {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"zh_CN", 0x0804}, {"zh_TW", 0x0404},
    {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404}, {"th_TH", 0x041E},
    {"vi_VN", 0x042A}, {"id_ID", 0x0421}, {"ms_MY", 0x043E}, {"ms_BN", 0x083E},
    {"fil_PH", 0x0464}, {"tl_PH", 0x0464}, {"km_KH", 0x0453}, {"lo_LA", 0x0454},
    {"my_MM", 0x0455}, {"mn_MN", 0x0450}, {"ne_NP", 0x0461}, {"si_LK", 0x045B},
    {"hi_IN", 0x0439}, {"bn_IN", 0x0445}, {"bn_BD", 0x0845}, {"pa_IN", 0x0446},
    {"gu_IN", 0x0447}, {"or_IN", 0x0448}, {"ta_IN", 0x0449}, {"te_IN", 0x044A},
    {"kn_IN", 0x044B}, {"ml_IN", 0x044C}, {"mr_IN", 0x044E}, {"ur_PK", 0x0420},
    {"fa_IR", 0x0429}, {"ar_SA", 0x0401}, {"ar_IQ", 0x0801}, {"ar_EG", 0x0C01},
    {"ar_LY", 0x1001}, {"ar_DZ", 0x1401}, {"ar_MA", 0x1801}, {"ar_TN", 0x1C01},
    {"ar_OM", 0x2001}, {"ar_YE", 0x2401}, {"ar_SY", 0x2801}, {"ar_JO", 0x2C01},
    {"ar_LB", 0x3001}, {"ar_KW", 0x3401}, {"ar_AE", 0x3801}, {"ar_BH", 0x3C01},
    {"ar_QA", 0x4001}, {"he_IL", 0x040D}, {"af_ZA", 0x0436}, {"sw_KE", 0x0441},
};

} // namespace

uint16_t LanguageIdFromLocale(const std::string& pLocale) {
    // "de_CH.UTF-8@euro" -> language "de", country "CH".
    std::string name = pLocale.substr(0, pLocale.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return 0x0409;
    const auto underscore = name.find('_');
    std::string language = name.substr(0, underscore);
    std::transform(language.begin(), language.end(), language.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string country = underscore == std::string::npos ? "" : name.substr(underscore + 1);
    std::transform(country.begin(), country.end(), country.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (language.empty()) return 0;
    const std::string full = language + "_" + country;
    for (const auto& entry : kLocales)
        if (full == entry.locale) return entry.id;
    for (const auto& entry : kLocales) {
        const char* underscoreAt = std::strchr(entry.locale, '_');
        if (language.size() == static_cast<size_t>(underscoreAt - entry.locale) &&
            std::strncmp(entry.locale, language.c_str(), language.size()) == 0)
            return entry.id;
    }
    return 0;
}

} // namespace brisa
