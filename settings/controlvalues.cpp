#include "settings/controlvalues.h"

namespace tavrex {

bool ControlValues::operator==(const ControlValues &o) const
{
    return accessmode == o.accessmode && edtdatabase == o.edtdatabase && edtname == o.edtname &&
           edtpassword == o.edtpassword && edthost == o.edthost && edtport == o.edtport &&
           cbcharsetIndex == o.cbcharsetIndex && cbcharsetText == o.cbcharsetText && edtservice == o.edtservice &&
           edtoracleusername == o.edtoracleusername && edtoraclepassword == o.edtoraclepassword &&
           processtable == o.processtable && sameOptions(options, o.options) && language == o.language;
}

void applyControlValues(const ControlValues &v, TConversionSettings &s)
{
    s.AccessMode = v.accessmode;
    s.ConnectDatabase = v.edtdatabase;
    s.MySqlUser = v.edtname;
    s.MySqlPassword = v.edtpassword;
    s.Host = v.edthost;
    s.Port = v.edtport;
    s.ServerCharSet = serverCharSetForChoice(v.cbcharsetIndex, v.cbcharsetText);
    s.OracleService = v.edtservice;
    s.OracleUser = v.edtoracleusername;
    s.OraclePassword = v.edtoraclepassword;
    s.ExistingTables = v.processtable == 2 ? TExistingTablePolicy::Skip
                       : v.processtable == 1 ? TExistingTablePolicy::Merge
                                             : TExistingTablePolicy::Overwrite;
    for (const CheckOption &option : kCheckOptions)
        copyOption(s, v.options, option);
}

} // namespace tavrex
