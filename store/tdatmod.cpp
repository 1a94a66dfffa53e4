// The data module: datasets, their master-detail chain and the connection strings.
#include "store/tdatmod.h"

#include "store/schema.h"

TDatMod::TDatMod(QObject* parent)
    : QObject(parent),
      qrtema("qrtema", Conn),
      qrvoprosi("qrvoprosi", Conn),
      qrotveti("qrotveti", Conn),
      tbSettings("tbSettings", Conn),
      TbTema("TbTema",
             {{"id", jet::ColType::Long},
              {"nb", jet::ColType::Long},
              {"name", jet::ColType::Text, 50},
              {"bil", jet::ColType::Long},
              {"vop", jet::ColType::Long}},
             "id") {
    setObjectName("DatMod");
    qrtema.setSql("select * from Tema order by numtema;");
    qrvoprosi.setSql("select * from Voprosi where idtest=:idtest order by idvopr;");
    qrotveti.setSql("select * from Otveti where idvopr=:idvopr order by idotv ;");
    tbSettings.setTableName(schema::kSettings);

    qrtema.afterScroll = [this] { requeryQuestions(); };
    qrvoprosi.afterScroll = [this] { requeryAnswers(); };
    qrtema.onDataChange = [this] {
        if (qrtema.isOpen() && qrtema.recordCount() == 0) emit topicsEmptied();
    };
}

TDatMod::~TDatMod() {
    // No notifications while the datasets are taken down.
    qrtema.afterScroll = nullptr;
    qrvoprosi.afterScroll = nullptr;
    qrtema.onDataChange = nullptr;
    Conn.close();
}

void TDatMod::requeryQuestions() {
    qrvoprosi.close();
    // With no current row every column reads as NULL, that is 0.
    qrvoprosi.setParam("idtest", qrtema.asInteger("numtema"));
    qrvoprosi.open();
}

void TDatMod::requeryAnswers() {
    qrotveti.close();
    qrotveti.setParam("idvopr", qrvoprosi.asInteger("id"));
    qrotveti.open();
}

QString TDatMod::creationConnectionString() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=test.mdb;Persist Security Info=False");
}

QString TDatMod::connectionString(const QString& databasePath) {
    // A path that the connection string syntax would misread goes in quotes.
    QString source = databasePath;
    if (source.contains(u';') || source.startsWith(u'"') || source.startsWith(u'\'') ||
        source != source.trimmed())
        source = u'"' + QString(source).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=") + source +
           QStringLiteral(
               ";Mode=Share Deny None;Extended Properties=\"\";Jet OLEDB:System database=\"\";"
               "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";") +
           QStringLiteral(
               "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global "
               "Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database "
               "Password=\"\";Jet OLEDB:Create System Database=False;") +
           QStringLiteral(
               "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on "
               "Compact=False;Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

void TDatMod::connectDefault() {
    Conn.close();
    Conn.setConnectionString(creationConnectionString());
    Conn.open();
    tbSettings.open();
    TbTema.open();
}

void TDatMod::connectTo(const QString& databasePath) {
    Conn.close();
    Conn.setConnectionString(connectionString(databasePath));
    Conn.open();
}
