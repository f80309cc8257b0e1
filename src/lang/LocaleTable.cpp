#include "lang/LocaleTable.h"

#include <array>

namespace orvelin {

namespace {

// Name, language identifier, three-letter abbreviation, POSIX locale; searched
// in this order, the first match wins.
constexpr std::array<LocaleRow, 273> kLocales{{
    {"Afrikaans", 0x0036, "AFK", "af_ZA"},
    {"Afrikaans_South_Africa", 0x0436, "AFK", "af_ZA"},
    {"Albanian", 0x001C, "SQI", "sq_AL"},
    {"Albanian_Albania", 0x041C, "SQI", "sq_AL"},
    {"Alsatian_France", 0x0484, "GSW", "gsw_FR"},
    {"Amharic_Ethiopia", 0x045E, "AMH", "am_ET"},
    {"Arabic", 0x0001, "ARA", "ar_SA"},
    {"Arabic_Algeria", 0x1401, "ARG", "ar_DZ"},
    {"Arabic_Bahrain", 0x3C01, "ARH", "ar_BH"},
    {"Arabic_Egypt", 0x0C01, "ARE", "ar_EG"},
    {"Arabic_Iraq", 0x0801, "ARI", "ar_IQ"},
    {"Arabic_Jordan", 0x2C01, "ARJ", "ar_JO"},
    {"Arabic_Kuwait", 0x3401, "ARK", "ar_KW"},
    {"Arabic_Lebanon", 0x3001, "ARB", "ar_LB"},
    {"Arabic_Libya", 0x1001, "ARL", "ar_LY"},
    {"Arabic_Morocco", 0x1801, "ARM", "ar_MA"},
    {"Arabic_Oman", 0x2001, "ARO", "ar_OM"},
    {"Arabic_Qatar", 0x4001, "ARQ", "ar_QA"},
    {"Arabic_Saudi_Arabia", 0x0401, "ARA", "ar_SA"},
    {"Arabic_Syria", 0x2801, "ARS", "ar_SY"},
    {"Arabic_Tunisia", 0x1C01, "ART", "ar_TN"},
    {"Arabic_UAE", 0x3801, "ARU", "ar_AE"},
    {"Arabic_Yemen", 0x2401, "ARY", "ar_YE"},
    {"Armenian", 0x002B, "HYE", "hy_AM"},
    {"Armenian_Armenia", 0x042B, "HYE", "hy_AM"},
    {"Assamese_India", 0x044D, "ASM", "as_IN"},
    {"Azeri", 0x002C, "AZE", "az_AZ"},
    {"Azeri_Cyrillic_Azerbaijan", 0x082C, "AZC", "az_AZ"},
    {"Azeri_Latin_Azerbaijan", 0x042C, "AZE", "az_AZ"},
    {"Bashkir_Russia", 0x046D, "BAS", "ba_RU"},
    {"Basque", 0x002D, "EUQ", "eu_ES"},
    {"Basque_Basque", 0x042D, "EUQ", "eu_ES"},
    {"Belarusian", 0x0023, "BEL", "be_BY"},
    {"Belarusian_Belarus", 0x0423, "BEL", "be_BY"},
    {"Bengali_Bangladesh", 0x0845, "BNB", "bn_BD"},
    {"Bengali_India", 0x0445, "BNG", "bn_IN"},
    {"Bosnian_Cyrillic_Bosnia_and_Herzegovina", 0x201A, "BSC", "bs_BA"},
    {"Bosnian_Latin_Bosnia_and_Herzegovina", 0x141A, "BSB", "bs_BA"},
    {"Breton_France", 0x047E, "BRE", "br_FR"},
    {"Bulgarian", 0x0002, "BGR", "bg_BG"},
    {"Bulgarian_Bulgaria", 0x0402, "BGR", "bg_BG"},
    {"Catalan", 0x0003, "CAT", "ca_ES"},
    {"Catalan_Catalan", 0x0403, "CAT", "ca_ES"},
    {"Chinese_Hong_Kong_SAR", 0x0C04, "ZHH", "zh_HK"},
    {"Chinese_Macao_SAR", 0x1404, "ZHM", "zh_MO"},
    {"Chinese_Peoples_Republic_of_China", 0x0804, "CHS", "zh_CN"},
    {"Chinese_Simplified", 0x0004, "CHS", "zh_CN"},
    {"Chinese_Singapore", 0x1004, "ZHI", "zh_SG"},
    {"Chinese_Taiwan", 0x0404, "CHT", "zh_TW"},
    {"Chinese_Traditional", 0x7C04, "CHT", "zh_TW"},
    {"Corsican_France", 0x0483, "COS", "co_FR"},
    {"Croatian", 0x001A, "HRV", "hr_HR"},
    {"Croatian_Croatia", 0x041A, "HRV", "hr_HR"},
    {"Croatian_Latin_Bosnia_and_Herzegovina", 0x101A, "HRB", "hr_BA"},
    {"Czech", 0x0005, "CSY", "cs_CZ"},
    {"Czech_Czech_Republic", 0x0405, "CSY", "cs_CZ"},
    {"Danish", 0x0006, "DAN", "da_DK"},
    {"Danish_Denmark", 0x0406, "DAN", "da_DK"},
    {"Dari_Afghanistan", 0x048C, "PRS", "fa_AF"},
    {"Divehi", 0x0065, "DIV", "dv_MV"},
    {"Divehi_Maldives", 0x0465, "DIV", "dv_MV"},
    {"Dutch", 0x0013, "NLD", "nl_NL"},
    {"Dutch_Belgium", 0x0813, "NLB", "nl_BE"},
    {"Dutch_Netherlands", 0x0413, "NLD", "nl_NL"},
    {"English", 0x0009, "ENU", "en_US"},
    {"English_Australia", 0x0C09, "ENA", "en_AU"},
    {"English_Belize", 0x2809, "ENL", "en_BZ"},
    {"English_Canada", 0x1009, "ENC", "en_CA"},
    {"English_Caribbean", 0x2409, "ENB", "en_AG"},
    {"English_India", 0x4009, "ENN", "en_IN"},
    {"English_Ireland", 0x1809, "ENI", "en_IE"},
    {"English_Jamaica", 0x2009, "ENJ", "en_JM"},
    {"English_Malaysia", 0x4409, "ENM", "en_MY"},
    {"English_New_Zealand", 0x1409, "ENZ", "en_NZ"},
    {"English_Republic_of_the_Philippines", 0x3409, "ENP", "en_PH"},
    {"English_Singapore", 0x4809, "ENE", "en_SG"},
    {"English_South_Africa", 0x1C09, "ENS", "en_ZA"},
    {"English_Trinidad_and_Tobago", 0x2C09, "ENT", "en_TT"},
    {"English_United_Kingdom)", 0x0809, "ENG", "en_GB"},
    {"English_United_States", 0x0409, "ENU", "en_US"},
    {"English_Zimbabwe", 0x3009, "ENW", "en_ZW"},
    {"Estonian", 0x0025, "ETI", "et_EE"},
    {"Estonian_Estonia", 0x0425, "ETI", "et_EE"},
    {"Faroese", 0x0038, "FOS", "fo_FO"},
    {"Faroese_Faroe_Islands", 0x0438, "FOS", "fo_FO"},
    {"Filipino_Philippines", 0x0464, "FPO", "fil_PH"},
    {"Finnish", 0x000B, "FIN", "fi_FI"},
    {"Finnish_Finland", 0x040B, "FIN", "fi_FI"},
    {"French", 0x000C, "FRA", "fr_FR"},
    {"French_Belgium", 0x080C, "FRB", "fr_BE"},
    {"French_Canada", 0x0C0C, "FRC", "fr_CA"},
    {"French_France", 0x040C, "FRA", "fr_FR"},
    {"French_Luxembourg", 0x140C, "FRL", "fr_LU"},
    {"French_Principality_of_Monaco", 0x180C, "FRM", "fr_MC"},
    {"French_Switzerland", 0x100C, "FRS", "fr_CH"},
    {"Frisian_Netherlands", 0x0462, "FYN", "fy_NL"},
    {"Galician", 0x0056, "GLC", "gl_ES"},
    {"Galician_Galician", 0x0456, "GLC", "gl_ES"},
    {"Georgian", 0x0037, "KAT", "ka_GE"},
    {"Georgian_Georgia", 0x0437, "KAT", "ka_GE"},
    {"German", 0x0007, "DEU", "de_DE"},
    {"German_Austria", 0x0C07, "DEA", "de_AT"},
    {"German_Germany", 0x0407, "DEU", "de_DE"},
    {"German_Liechtenstein", 0x1407, "DEC", "de_LI"},
    {"German_Luxembourg", 0x1007, "DEL", "de_LU"},
    {"German_Switzerland", 0x0807, "DES", "de_CH"},
    {"Greek", 0x0008, "ELL", "el_GR"},
    {"Greek_Greece", 0x0408, "ELL", "el_GR"},
    {"Greenlandic_Greenland", 0x046F, "KAL", "kl_GL"},
    {"Gujarati", 0x0047, "GUJ", "gu_IN"},
    {"Gujarati_India", 0x0447, "GUJ", "gu_IN"},
    {"Hausa_Latin_Nigeria", 0x0468, "HAU", "ha_NG"},
    {"Hebrew", 0x000D, "HEB", "he_IL"},
    {"Hebrew_Israel", 0x040D, "HEB", "he_IL"},
    {"Hindi", 0x0039, "HIN", "hi_IN"},
    {"Hindi_India", 0x0439, "HIN", "hi_IN"},
    {"Hungarian", 0x000E, "HUN", "hu_HU"},
    {"Hungarian_Hungary", 0x040E, "HUN", "hu_HU"},
    {"Icelandic", 0x000F, "ISL", "is_IS"},
    {"Icelandic_Iceland", 0x040F, "ISL", "is_IS"},
    {"Igbo_Nigeria", 0x0470, "IBO", "ig_NG"},
    {"Indonesian", 0x0021, "IND", "id_ID"},
    {"Indonesian_Indonesia", 0x0421, "IND", "id_ID"},
    {"Inuktitut_Latin_Canada", 0x085D, "IUK", "iu_CA"},
    {"Inuktitut_Syllabics_Canada", 0x045D, "IUS", "iu_CA"},
    {"Irish_Ireland", 0x083C, "IRE", "ga_IE"},
    {"isiXhosa_South_Africa", 0x0434, "XHO", "xh_ZA"},
    {"isiZulu_South_Africa", 0x0435, "ZUL", "zu_ZA"},
    {"Italian", 0x0010, "ITA", "it_IT"},
    {"Italian_Italy", 0x0410, "ITA", "it_IT"},
    {"Italian_Switzerland", 0x0810, "ITS", "it_CH"},
    {"Japanese", 0x0011, "JPN", "ja_JP"},
    {"Japanese_Japan", 0x0411, "JPN", "ja_JP"},
    {"Kannada", 0x004B, "KDI", "kn_IN"},
    {"Kannada_India", 0x044B, "KDI", "kn_IN"},
    {"Kazakh", 0x003F, "KKZ", "kk_KZ"},
    {"Kazakh_Kazakhstan", 0x043F, "KKZ", "kk_KZ"},
    {"Khmer_Cambodia", 0x0453, "KHM", "km_KH"},
    {"K_iche_Guatemala", 0x0486, "QUT", "quc_GT"},
    {"Kinyarwanda_Rwanda", 0x0487, "KIN", "rw_RW"},
    {"Kiswahili", 0x0041, "SWK", "sw_KE"},
    {"Kiswahili_Kenya", 0x0441, "SWK", "sw_KE"},
    {"Konkani", 0x0057, "KNK", "kok_IN"},
    {"Konkani_India", 0x0457, "KNK", "kok_IN"},
    {"Korean", 0x0012, "KOR", "ko_KR"},
    {"Korean_Korea", 0x0412, "KOR", "ko_KR"},
    {"Kyrgyz", 0x0040, "KYR", "ky_KG"},
    {"Kyrgyz_Kyrgyzstan", 0x0440, "KYR", "ky_KG"},
    {"Lao_Lao_PDR", 0x0454, "LAO", "lo_LA"},
    {"Latvian", 0x0026, "LVI", "lv_LV"},
    {"Latvian_Latvia", 0x0426, "LVI", "lv_LV"},
    {"Lithuanian", 0x0027, "LTH", "lt_LT"},
    {"Lithuanian_Lithuania", 0x0427, "LTH", "lt_LT"},
    {"Lower_Sorbian_Germany", 0x082E, "DSB", "dsb_DE"},
    {"Luxembourgish_Luxembourg", 0x046E, "LBX", "lb_LU"},
    {"Macedonian", 0x002F, "MKI", "mk_MK"},
    {"Macedonian_Former_Yugoslav_Republic_of_Macedonia", 0x042F, "MKI", "mk_MK"},
    {"Malay", 0x003E, "MSL", "ms_MY"},
    {"Malay_Brunei_Darussalam", 0x083E, "MSB", "ms_BN"},
    {"Malay_Malaysia", 0x043E, "MSL", "ms_MY"},
    {"Malayalam_India", 0x044C, "MYM", "ml_IN"},
    {"Maltese_Malta", 0x043A, "MLT", "mt_MT"},
    {"Maori_New_Zealand", 0x0481, "MRI", "mi_NZ"},
    {"Mapudungun_Chile", 0x047A, "MPD", "arn_CL"},
    {"Marathi", 0x004E, "MAR", "mr_IN"},
    {"Marathi_India", 0x044E, "MAR", "mr_IN"},
    {"Mohawk_Mohawk", 0x047C, "MWK", "moh_CA"},
    {"Mongolian", 0x0050, "MON", "mn_MN"},
    {"Mongolian_Cyrillic_Mongolia", 0x0450, "MON", "mn_MN"},
    {"Mongolian_Traditional_Mongolian_PRC", 0x0850, "MNG", "mn_CN"},
    {"Nepali_Nepal", 0x0461, "NEP", "ne_NP"},
    {"Norwegian", 0x0014, "NOR", "nb_NO"},
    {"Norwegian_Bokmal_Norway", 0x0414, "NOR", "nb_NO"},
    {"Norwegian_Nynorsk_Norway", 0x0814, "NON", "nn_NO"},
    {"Occitan_France", 0x0482, "OCI", "oc_FR"},
    {"Oriya_India", 0x0448, "ORI", "or_IN"},
    {"Pashto_Afghanistan", 0x0463, "PAS", "ps_AF"},
    {"Persian", 0x0029, "FAR", "fa_IR"},
    {"Persian_Iran", 0x0429, "FAR", "fa_IR"},
    {"Polish", 0x0015, "PLK", "pl_PL"},
    {"Polish_Poland", 0x0415, "PLK", "pl_PL"},
    {"Portuguese", 0x0016, "PTB", "pt_BR"},
    {"Portuguese_Brazil", 0x0416, "PTB", "pt_BR"},
    {"Portuguese_Portugal", 0x0816, "PTG", "pt_PT"},
    {"Punjabi", 0x0046, "PAN", "pa_IN"},
    {"Punjabi_India", 0x0446, "PAN", "pa_IN"},
    {"Quechua_Bolivia", 0x046B, "QUB", "quz_BO"},
    {"Quechua_Ecuador", 0x086B, "QUE", "quz_EC"},
    {"Quechua_Peru", 0x0C6B, "QUP", "quz_PE"},
    {"Romanian", 0x0018, "ROM", "ro_RO"},
    {"Romanian_Romania", 0x0418, "ROM", "ro_RO"},
    {"Romansh_Switzerland", 0x0417, "RMC", "rm_CH"},
    {"Russian", 0x0019, "RUS", "ru_RU"},
    {"Russian_Russia", 0x0419, "RUS", "ru_RU"},
    {"Sami_Inari_Finland", 0x243B, "SMN", "smn_FI"},
    {"Sami_Lule_Norway", 0x103B, "SMJ", "smj_NO"},
    {"Sami_Lule_Sweden", 0x143B, "SMK", "smj_SE"},
    {"Sami_Northern_Finland", 0x0C3B, "SMG", "se_FI"},
    {"Sami_Northern_Norway", 0x043B, "SME", "se_NO"},
    {"Sami_Northern_Sweden", 0x083B, "SMF", "se_SE"},
    {"Sami_Skolt_Finland", 0x203B, "SMS", "sms_FI"},
    {"Sami_Southern_Norway", 0x183B, "SMA", "sma_NO"},
    {"Sami_Southern_Sweden", 0x1C3B, "SMB", "sma_SE"},
    {"Sanskrit", 0x004F, "SAN", "sa_IN"},
    {"Sanskrit_India", 0x044F, "SAN", "sa_IN"},
    {"Serbian", 0x7C1A, "SRB", "sr_RS"},
    {"Serbian_Cyrillic_Bosnia_and_Herzegovina", 0x1C1A, "SRN", "sr_BA"},
    {"Serbian_Cyrillic_Serbia", 0x281A, "SRO", "sr_RS"},
    {"Serbian_Latin_Bosnia_and_Herzegovina", 0x181A, "SRS", "sr_BA@latin"},
    {"Serbian_Latin_Serbia", 0x241A, "SRM", "sr_RS@latin"},
    {"Sesotho_sa_Leboa_South_Africa", 0x046C, "NSO", "nso_ZA"},
    {"Setswana_South_Africa", 0x0432, "TSN", "tn_ZA"},
    {"Sinhala_Sri_Lanka", 0x045B, "SIN", "si_LK"},
    {"Slovak", 0x001B, "SKY", "sk_SK"},
    {"Slovak_Slovakia", 0x041B, "SKY", "sk_SK"},
    {"Slovenian", 0x0024, "SLV", "sl_SI"},
    {"Slovenian_Slovenia", 0x0424, "SLV", "sl_SI"},
    {"Spanish", 0x000A, "ESN", "es_ES"},
    {"Spanish_Argentina", 0x2C0A, "ESS", "es_AR"},
    {"Spanish_Bolivia", 0x400A, "ESB", "es_BO"},
    {"Spanish_Chile", 0x340A, "ESL", "es_CL"},
    {"Spanish_Colombia", 0x240A, "ESO", "es_CO"},
    {"Spanish_Costa_Rica", 0x140A, "ESC", "es_CR"},
    {"Spanish_Dominican_Republic", 0x1C0A, "ESD", "es_DO"},
    {"Spanish_Ecuador", 0x300A, "ESF", "es_EC"},
    {"Spanish_El_Salvador", 0x440A, "ESE", "es_SV"},
    {"Spanish_Guatemala", 0x100A, "ESG", "es_GT"},
    {"Spanish_Honduras", 0x480A, "ESH", "es_HN"},
    {"Spanish_Mexico", 0x080A, "ESM", "es_MX"},
    {"Spanish_Nicaragua", 0x4C0A, "ESI", "es_NI"},
    {"Spanish_Panama", 0x180A, "ESA", "es_PA"},
    {"Spanish_Paraguay", 0x3C0A, "ESZ", "es_PY"},
    {"Spanish_Peru", 0x280A, "ESR", "es_PE"},
    {"Spanish_Puerto_Rico", 0x500A, "ESU", "es_PR"},
    {"Spanish_Spain", 0x0C0A, "ESN", "es_ES"},
    {"Spanish_United States", 0x540A, "EST", "es_US"},
    {"Spanish_Uruguay", 0x380A, "ESY", "es_UY"},
    {"Spanish_Venezuela", 0x200A, "ESV", "es_VE"},
    {"Swedish", 0x001D, "SVE", "sv_SE"},
    {"Swedish_Finland", 0x081D, "SVF", "sv_FI"},
    {"Swedish_Sweden", 0x041D, "SVE", "sv_SE"},
    {"Syriac", 0x005A, "SYR", "syr_SY"},
    {"Syriac_Syria", 0x045A, "SYR", "syr_SY"},
    {"Tajik_Cyrillic_Tajikistan", 0x0428, "TAJ", "tg_TJ"},
    {"Tamazight_Latin_Algeria", 0x085F, "TZM", "tzm_DZ"},
    {"Tamil", 0x0049, "TAI", "ta_IN"},
    {"Tamil_India", 0x0449, "TAI", "ta_IN"},
    {"Tatar", 0x0044, "TTT", "tt_RU"},
    {"Tatar_Russia", 0x0444, "TTT", "tt_RU"},
    {"Telugu", 0x004A, "TEL", "te_IN"},
    {"Telugu_India", 0x044A, "TEL", "te_IN"},
    {"Thai", 0x001E, "THA", "th_TH"},
    {"Thai_Thailand", 0x041E, "THA", "th_TH"},
    {"Tibetan_PRC", 0x0451, "BOB", "bo_CN"},
    {"Turkish", 0x001F, "TRK", "tr_TR"},
    {"Turkish_Turkey", 0x041F, "TRK", "tr_TR"},
    {"Turkmen_Turkmenistan", 0x0442, "TUK", "tk_TM"},
    {"Uighur_PRC", 0x0480, "UIG", "ug_CN"},
    {"Ukrainian", 0x0022, "UKR", "uk_UA"},
    {"Ukrainian_Ukraine", 0x0422, "UKR", "uk_UA"},
    {"Upper_Sorbian_Germany", 0x042E, "HSB", "hsb_DE"},
    {"Urdu", 0x0020, "URD", "ur_PK"},
    {"Urdu_Islamic_Republic_of_Pakistan", 0x0420, "URD", "ur_PK"},
    {"Uzbek", 0x0043, "UZB", "uz_UZ"},
    {"Uzbek_Cyrillic_Uzbekistan", 0x0843, "UZB", "uz_UZ@cyrillic"},
    {"Uzbek_Latin_Uzbekistan", 0x0443, "UZB", "uz_UZ"},
    {"Vietnamese", 0x002A, "VIT", "vi_VN"},
    {"Vietnamese_Vietnam", 0x042A, "VIT", "vi_VN"},
    {"Welsh_United_Kingdom", 0x0452, "CYM", "cy_GB"},
    {"Wolof_Senegal", 0x0488, "WOL", "wo_SN"},
    {"Yakut_Russia", 0x0485, "SAH", "sah_RU"},
    {"Yi_PRC", 0x0478, "III", "ii_CN"},
    {"Yoruba_Nigeria", 0x046A, "YOR", "yo_NG"},
}};

} // namespace

std::span<const LocaleRow> LocaleTable() {
    return kLocales;
}

int AnsiCodePage(uint16_t languageId) {
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    switch (primary) {
    case 0x04: // Chinese: Taiwan, Hong Kong, Macao and the traditional script use Big5
        return (sub == 0x01 || sub == 0x03 || sub == 0x05 || sub == 0x1F) ? 950 : 936;
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x1E:
        return 874;
    case 0x2A:
        return 1258;
    case 0x08:
        return 1253;
    case 0x0D:
        return 1255;
    case 0x01:
    case 0x20:
    case 0x29:
    case 0x63:
    case 0x80:
    case 0x8C:
        return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
        return 1257;
    case 0x1F:
        return 1254;
    case 0x42: // Turkmen
        return 1250;
    case 0x2C: // Azeri: Cyrillic or Latin
    case 0x43: // Uzbek: Cyrillic or Latin
        return sub == 0x02 ? 1251 : 1254;
    case 0x50: // Mongolian: Cyrillic; the traditional script has no ANSI code page
        return sub == 0x02 ? 0 : 1251;
    case 0x02:
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x2F:
    case 0x3F:
    case 0x40:
    case 0x44:
    case 0x6D:
    case 0x85:
    case 0x28:
        return 1251;
    case 0x1A: // Croatian, Serbian, Bosnian: Cyrillic sublanguages use 1251; plain
               // Serbian (0x7C1A) is written in the Latin script
        return (sub == 0x03 || sub == 0x07 || sub == 0x08 || sub == 0x0A || sub == 0x19 ||
                sub == 0x1B)
                   ? 1251
                   : 1250;
    case 0x05:
    case 0x0E:
    case 0x15:
    case 0x18:
    case 0x1B:
    case 0x1C:
    case 0x24:
        return 1250;
    case 0x03:
    case 0x06:
    case 0x07:
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0F:
    case 0x10:
    case 0x13:
    case 0x14:
    case 0x16:
    case 0x1D:
    case 0x21:
    case 0x2D:
    case 0x32:
    case 0x34:
    case 0x35:
    case 0x36:
    case 0x38:
    case 0x3B:
    case 0x3C:
    case 0x3E:
    case 0x41:
    case 0x52:
    case 0x56:
    case 0x62:
    case 0x64:
    case 0x68:
    case 0x6A:
    case 0x6B:
    case 0x6C:
    case 0x6E:
    case 0x6F:
    case 0x70:
    case 0x7A:
    case 0x7C:
    case 0x7E:
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x86:
    case 0x87:
    case 0x88:
    case 0x17:
    case 0x2E:
    case 0x5F:
        return 1252;
    case 0x5D: // Inuktitut: Latin; the syllabics have no ANSI code page
        return sub == 0x02 ? 1252 : 0;
    default:
        return 0; // a language written in Unicode only
    }
}

} // namespace orvelin
