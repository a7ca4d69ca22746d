-- Kolvix Utility: the practice-management database objects that the utility reads and writes,
-- as an embedded SQLite database (for tests, demonstrations and benchmarks).
--
-- The same objects exist in schema/sqlserver/schema.sql for SQL Server. Conventions here:
--   * ids are INTEGER; surrogate keys are INTEGER PRIMARY KEY (filled by the engine when omitted);
--   * dates and date-times are ISO text 'YYYY-MM-DD hh:mm:ss';
--   * booleans are the integers 0 and 1, except Client.Active, which is 'T' or 'F';
--   * text columns carry the sizes of the SQL Server schema; names that people search and sort
--     by compare without regard to case, as on SQL Server.
--   * every column that holds a client id has an index of its own (the merge rewrites them all,
--     the statistics count by them); account-keyed tables have one on (ClientID, AccountID).
-- Apart from keys no column is NOT NULL, so that rows can be written with only the columns a
-- caller cares about.
-- The functions SOUNDEX, onlyNumericChars and BINARY_CHECKSUM are registered by the program's connection.
-- The script runs as one savepoint: outside a transaction that makes it one transaction (and
-- quick), inside one it nests.

PRAGMA foreign_keys = OFF;
SAVEPOINT kolvix_schema;

------------------------------------------------------------------------------------------------
-- Practice reference data
------------------------------------------------------------------------------------------------

CREATE TABLE SystemData (
    SystemDataID      INTEGER PRIMARY KEY,
    PracticeName      VARCHAR(60),
    UseFileNo         INTEGER DEFAULT 0,
    DatabaseVersion   VARCHAR(20),
    LastModified      DATETIME
);

CREATE TABLE Practitioner (
    PractitionerID    INTEGER PRIMARY KEY,
    Title             VARCHAR(10),
    Name              VARCHAR(30) COLLATE NOCASE,
    Surname           VARCHAR(40) COLLATE NOCASE,
    ProviderNumber    VARCHAR(10),
    Active            CHAR(1) DEFAULT 'T'
);

CREATE TABLE Category (
    CategoryID        INTEGER PRIMARY KEY,
    Description       VARCHAR(40) COLLATE NOCASE
);

-- A relation in which a contact stands to a client. MergeID names the relation that this one
-- counts as when contacts are compared (Mother and Father both count as Parent); a relation
-- that stands for itself has its own id there.
CREATE TABLE Relation (
    RelationID        INTEGER PRIMARY KEY,
    Description       VARCHAR(30) COLLATE NOCASE,
    MergeID           INTEGER
);

------------------------------------------------------------------------------------------------
-- Clients and accounts
------------------------------------------------------------------------------------------------

CREATE TABLE Client (
    ClientID          INTEGER PRIMARY KEY,
    Title             VARCHAR(10),
    Name              VARCHAR(20) COLLATE NOCASE,
    Surname           VARCHAR(40) COLLATE NOCASE,
    PreferredName     VARCHAR(20) COLLATE NOCASE,
    Active            CHAR(1) DEFAULT 'T',
    Sex               CHAR(1),
    DateOfBirth       DATETIME,
    Address           VARCHAR(80) COLLATE NOCASE,
    Suburb            VARCHAR(30) COLLATE NOCASE,
    State             VARCHAR(3),
    PostCode          VARCHAR(6),
    HomePhone         VARCHAR(15) COLLATE NOCASE,
    WorkPhone         VARCHAR(15) COLLATE NOCASE,
    Mobile            VARCHAR(15),
    Email             VARCHAR(50) COLLATE NOCASE,
    Occupation        VARCHAR(30) COLLATE NOCASE,
    FileNo            VARCHAR(10) COLLATE NOCASE,
    ClaimNumber       VARCHAR(10) COLLATE NOCASE,
    BPayRefNo         VARCHAR(10) COLLATE NOCASE,
    MedicareNo        VARCHAR(12),
    PractitionerID    INTEGER,
    ReferredByID      INTEGER,
    ReferredByID2     INTEGER,
    IsAGroup          INTEGER DEFAULT 0,
    PXAccess          INTEGER DEFAULT 0,
    PXVerified        INTEGER DEFAULT 0,
    PXEmail           VARCHAR(50),
    PendingClient     INTEGER DEFAULT 0,
    CreatedDate       DATETIME,
    Notes             VARCHAR(255),
    -- The address as the search views show it (street, suburb, state and post code), computed
    -- here rather than in the views so that an index can serve searches by address.
    -- Only the embedded engine has it (SQL Server's views compute the address themselves).
    SearchAddress     VARCHAR(122) COLLATE NOCASE GENERATED ALWAYS AS (NULLIF(TRIM(IFNULL(Address || ' ', '') || IFNULL(Suburb || ' ', '') || IFNULL(State || ' ', '') || IFNULL(PostCode, '')), '')) VIRTUAL
);
CREATE INDEX IX_Client_ReferredByID  ON Client (ReferredByID);
CREATE INDEX IX_Client_ReferredByID2 ON Client (ReferredByID2);
-- The patient search: a prefix search on a column walks its index (a LIKE with a fixed prefix
-- is a range of a NOCASE index), and an index that begins with the sort order's columns gives
-- the rows in that order, so that the first 50, or the first screen of all clients, are read
-- without sorting the practice.
CREATE INDEX IX_Client_Surname       ON Client (Surname, Name);
CREATE INDEX IX_Client_Name          ON Client (Name, Surname);
CREATE INDEX IX_Client_PreferredName ON Client (PreferredName);
CREATE INDEX IX_Client_HomePhone     ON Client (HomePhone);
CREATE INDEX IX_Client_WorkPhone     ON Client (WorkPhone);
CREATE INDEX IX_Client_FileNo        ON Client (FileNo);
CREATE INDEX IX_Client_Occupation    ON Client (Occupation, Surname, Name);
CREATE INDEX IX_Client_Email         ON Client (Email);
CREATE INDEX IX_Client_SearchAddress ON Client (SearchAddress);

-- The account copy of a merge rests on this column order: the client id first, the account id
-- second, the account's name sixth. Keep it.
CREATE TABLE Account (
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL,
    GroupID           INTEGER,
    ClaimNumber       VARCHAR(10) COLLATE NOCASE,
    BPayRefNo         VARCHAR(10) COLLATE NOCASE,
    ShortDescription  VARCHAR(16) COLLATE NOCASE,
    Description       VARCHAR(60),
    Balance           NUMERIC(12,2) DEFAULT 0,
    IsAGroup          INTEGER DEFAULT 0,
    Active            INTEGER DEFAULT 1,
    CreatedDate       DATETIME,
    PRIMARY KEY (ClientID, AccountID)
);
CREATE INDEX IX_Account_GroupID     ON Account (GroupID);
CREATE INDEX IX_Account_ClaimNumber ON Account (ClaimNumber);
CREATE INDEX IX_Account_BPayRefNo   ON Account (BPayRefNo);

------------------------------------------------------------------------------------------------
-- Account-keyed tables
------------------------------------------------------------------------------------------------

CREATE TABLE Trans (
    TransID           INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL DEFAULT 0,
    TransDate         DATETIME,
    TransType         VARCHAR(3),
    InvoiceNo         INTEGER,
    ItemCode          VARCHAR(10),
    Description       VARCHAR(60),
    Amount            NUMERIC(12,2) DEFAULT 0,
    GST               NUMERIC(12,2) DEFAULT 0,
    PractitionerID    INTEGER
);
CREATE INDEX IX_Trans_Client ON Trans (ClientID, AccountID);

CREATE TABLE HICAPSDetail (
    HICAPSDetailID    INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL DEFAULT 0,
    TransID           INTEGER,
    ClaimDate         DATETIME,
    ItemNumber        VARCHAR(10),
    ClaimAmount       NUMERIC(12,2),
    BenefitAmount     NUMERIC(12,2),
    ResponseCode      VARCHAR(2)
);
CREATE INDEX IX_HICAPSDetail_Client ON HICAPSDetail (ClientID, AccountID);

CREATE TABLE NewStatement (
    NewStatementID    INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL DEFAULT 0,
    StatementDate     DATETIME,
    OpeningBalance    NUMERIC(12,2),
    ClosingBalance    NUMERIC(12,2),
    Printed           INTEGER DEFAULT 0
);
CREATE INDEX IX_NewStatement_Client ON NewStatement (ClientID, AccountID);

CREATE TABLE StatementActivityLog (
    StatementActivityLogID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL DEFAULT 0,
    NewStatementID    INTEGER,
    ActivityDate      DATETIME,
    Activity          VARCHAR(50),
    UserName          VARCHAR(15)
);
CREATE INDEX IX_StatementActivityLog_Client ON StatementActivityLog (ClientID, AccountID);

CREATE TABLE InvoiceActivityLog (
    InvoiceActivityLogID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AccountID         INTEGER NOT NULL DEFAULT 0,
    TransID           INTEGER,
    ActivityDate      DATETIME,
    Activity          VARCHAR(50),
    UserName          VARCHAR(15)
);
CREATE INDEX IX_InvoiceActivityLog_Client ON InvoiceActivityLog (ClientID, AccountID);

------------------------------------------------------------------------------------------------
-- Client-keyed tables
------------------------------------------------------------------------------------------------

CREATE TABLE TyroTrans (
    TyroTransID       INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    TransactionDate   DATETIME,
    Amount            NUMERIC(12,2),
    TerminalID        VARCHAR(20),
    TransactionRef    VARCHAR(30),
    ResultCode        VARCHAR(10)
);
CREATE INDEX IX_TyroTrans_ClientID ON TyroTrans (ClientID);

CREATE TABLE Appoint (
    AppointID         INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    PractitionerID    INTEGER,
    StartTime         DATETIME,
    Duration          INTEGER,
    Status            VARCHAR(10),
    Note              VARCHAR(255)
);
CREATE INDEX IX_Appoint_ClientID ON Appoint (ClientID);

CREATE TABLE ContactAttachment (
    ContactAttachmentID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    ContactID         INTEGER,
    FileName          VARCHAR(260),
    Description       VARCHAR(100),
    AddedDate         DATETIME
);
CREATE INDEX IX_ContactAttachment_ClientID ON ContactAttachment (ClientID);

CREATE TABLE Attachments (
    AttachmentID      INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    FileName          VARCHAR(260),
    Description       VARCHAR(100),
    AddedDate         DATETIME
);
CREATE INDEX IX_Attachments_ClientID ON Attachments (ClientID);

CREATE TABLE ClinicalNotes (
    ClinicalNoteID    INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    PractitionerID    INTEGER,
    NoteDate          DATETIME,
    Note              TEXT
);
CREATE INDEX IX_ClinicalNotes_ClientID ON ClinicalNotes (ClientID);

CREATE TABLE Future (
    FutureID          INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    DueDate           DATETIME,
    ItemCode          VARCHAR(10),
    Description       VARCHAR(60),
    Amount            NUMERIC(12,2)
);
CREATE INDEX IX_Future_ClientID ON Future (ClientID);

CREATE TABLE Recalls (
    RecallID          INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    PractitionerID    INTEGER,
    RecallDate        DATETIME,
    Reason            VARCHAR(60),
    Completed         INTEGER DEFAULT 0
);
CREATE INDEX IX_Recalls_ClientID ON Recalls (ClientID);

CREATE TABLE Referral (
    ReferralID        INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    ContactID         INTEGER,
    ReferralDate      DATETIME,
    ExpiryDate        DATETIME,
    Notes             VARCHAR(255)
);
CREATE INDEX IX_Referral_ClientID ON Referral (ClientID);

CREATE TABLE GroupAppDetail (
    GroupAppDetailID  INTEGER PRIMARY KEY,
    GroupAppID        INTEGER,
    ClientID          INTEGER NOT NULL,
    Attended          INTEGER DEFAULT 0
);
CREATE INDEX IX_GroupAppDetail_ClientID ON GroupAppDetail (ClientID);

CREATE TABLE AppChange (
    AppChangeID       INTEGER PRIMARY KEY,
    AppointID         INTEGER,
    ClientID          INTEGER NOT NULL,
    ChangeDate        DATETIME,
    ChangeType        VARCHAR(20),
    UserName          VARCHAR(15)
);
CREATE INDEX IX_AppChange_ClientID ON AppChange (ClientID);

CREATE TABLE SMSReply (
    SMSReplyID        INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    ReceivedDate      DATETIME,
    FromNumber        VARCHAR(15),
    Message           VARCHAR(160)
);
CREATE INDEX IX_SMSReply_ClientID ON SMSReply (ClientID);

CREATE TABLE Documents (
    DocumentID        INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    Title             VARCHAR(100),
    FileName          VARCHAR(260),
    CreatedDate       DATETIME
);
CREATE INDEX IX_Documents_ClientID ON Documents (ClientID);

CREATE TABLE Quotes (
    QuoteID           INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    QuoteDate         DATETIME,
    Description       VARCHAR(100),
    Amount            NUMERIC(12,2)
);
CREATE INDEX IX_Quotes_ClientID ON Quotes (ClientID);

CREATE TABLE ActEvents (
    ActEventID        INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    EventDate         DATETIME,
    EventType         VARCHAR(20),
    Description       VARCHAR(100)
);
CREATE INDEX IX_ActEvents_ClientID ON ActEvents (ClientID);

CREATE TABLE XRayFolder (
    XRayFolderID      INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    FolderName        VARCHAR(60),
    CreatedDate       DATETIME
);
CREATE INDEX IX_XRayFolder_ClientID ON XRayFolder (ClientID);

CREATE TABLE XRayReport (
    XRayReportID      INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    ReportDate        DATETIME,
    Report            TEXT
);
CREATE INDEX IX_XRayReport_ClientID ON XRayReport (ClientID);

CREATE TABLE XRay (
    XRayID            INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    XRayFolderID      INTEGER,
    TakenDate         DATETIME,
    Region            VARCHAR(30),
    FileName          VARCHAR(260)
);
CREATE INDEX IX_XRay_ClientID ON XRay (ClientID);

CREATE TABLE SalesEvents (
    SalesEventID      INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    EventDate         DATETIME,
    ProductCode       VARCHAR(20),
    Quantity          INTEGER,
    Amount            NUMERIC(12,2)
);
CREATE INDEX IX_SalesEvents_ClientID ON SalesEvents (ClientID);

CREATE TABLE WaitingList (
    WaitingListID     INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    PractitionerID    INTEGER,
    AddedDate         DATETIME,
    Priority          INTEGER,
    Notes             VARCHAR(255)
);
CREATE INDEX IX_WaitingList_ClientID ON WaitingList (ClientID);

CREATE TABLE ClassTypeClient (
    ClassTypeClientID INTEGER PRIMARY KEY,
    ClassTypeID       INTEGER,
    ClientID          INTEGER NOT NULL,
    JoinedDate        DATETIME
);
CREATE INDEX IX_ClassTypeClient_ClientID ON ClassTypeClient (ClientID);

CREATE TABLE SMSMsg (
    SMSMsgID          INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    SentDate          DATETIME,
    ToNumber          VARCHAR(15),
    Message           VARCHAR(160),
    Status            VARCHAR(10)
);
CREATE INDEX IX_SMSMsg_ClientID ON SMSMsg (ClientID);

CREATE TABLE RecallRecurrence (
    RecallRecurrenceID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    IntervalMonths    INTEGER,
    NextDate          DATETIME,
    Reason            VARCHAR(60)
);
CREATE INDEX IX_RecallRecurrence_ClientID ON RecallRecurrence (ClientID);

CREATE TABLE PatCat (
    PatCatID          INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    CategoryID        INTEGER NOT NULL,
    AddedDate         DATETIME
);
CREATE INDEX IX_PatCat_ClientID ON PatCat (ClientID, CategoryID);

------------------------------------------------------------------------------------------------
-- Contacts
------------------------------------------------------------------------------------------------

CREATE TABLE Contact (
    ContactID         INTEGER PRIMARY KEY,
    Title             VARCHAR(10),
    Name              VARCHAR(30) COLLATE NOCASE,
    Surname           VARCHAR(40) COLLATE NOCASE,
    Company           VARCHAR(60) COLLATE NOCASE,
    ContactType       VARCHAR(20),
    Phone             VARCHAR(15),
    Email             VARCHAR(50)
);

-- A contact of a client, in a relation. ContactType, when set, is the kind of contact for this
-- client and wins over the contact's own.
CREATE TABLE ClientContact (
    ClientContactID   INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    ContactID         INTEGER NOT NULL,
    RelationID        INTEGER,
    ContactType       VARCHAR(20),
    IsPrimary         INTEGER DEFAULT 0,
    Notes             VARCHAR(255)
);
CREATE INDEX IX_ClientContact_ClientID  ON ClientContact (ClientID);
CREATE INDEX IX_ClientContact_ContactID ON ClientContact (ContactID);

CREATE VIEW ClientContacts AS
SELECT cc.ClientContactID,
       cc.ClientID,
       cc.ContactID,
       cc.RelationID,
       COALESCE(NULLIF(TRIM(IFNULL(c.Name, '') || ' ' || IFNULL(c.Surname, '')), ''), c.Company) AS FullNameNoTitle,
       COALESCE(cc.ContactType, c.ContactType) AS ContactType,
       COALESCE(r.MergeID, cc.RelationID) AS RelationMergeID,
       cc.IsPrimary
FROM ClientContact cc
LEFT JOIN Contact c ON c.ContactID = cc.ContactID
LEFT JOIN Relation r ON r.RelationID = cc.RelationID;

------------------------------------------------------------------------------------------------
-- WPX, the online patient-access feature
------------------------------------------------------------------------------------------------

-- The client ClientID is linked to the group client GroupID.
CREATE TABLE PXClientLink (
    PXClientLinkID    INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    GroupID           INTEGER NOT NULL,
    LinkedDate        DATETIME
);
CREATE INDEX IX_PXClientLink_ClientID ON PXClientLink (ClientID);
CREATE INDEX IX_PXClientLink_GroupID  ON PXClientLink (GroupID);

-- A registration waiting to be processed: GuestClientID is the pending client, ParentID the
-- client who registered it, or null.
CREATE TABLE PXPendingClient (
    PendingClientID   INTEGER PRIMARY KEY,
    GuestClientID     INTEGER,
    ParentID          INTEGER,
    RequestDate       DATETIME,
    Email             VARCHAR(50),
    Status            VARCHAR(10)
);
CREATE INDEX IX_PXPendingClient_GuestClientID ON PXPendingClient (GuestClientID);
CREATE INDEX IX_PXPendingClient_ParentID      ON PXPendingClient (ParentID);

CREATE TABLE PXClientForgotPassword (
    PXClientForgotPasswordID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    Token             VARCHAR(40),
    RequestDate       DATETIME,
    ExpiryDate        DATETIME,
    Activated         INTEGER DEFAULT 0
);
CREATE INDEX IX_PXClientForgotPassword_ClientID ON PXClientForgotPassword (ClientID);

CREATE TABLE PXClientPracPermissions (
    PXClientPracPermissionsID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AllowPracID       INTEGER,
    AllowPGroupID     INTEGER
);
CREATE INDEX IX_PXClientPracPermissions_ClientID ON PXClientPracPermissions (ClientID);

CREATE TABLE PXAppRequest (
    PXAppRequestID    INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    PractitionerID    INTEGER,
    RequestedTime     DATETIME,
    Status            VARCHAR(10)
);
CREATE INDEX IX_PXAppRequest_ClientID ON PXAppRequest (ClientID);

CREATE TABLE PXCurrentReservedApp (
    PXCurrentReservedAppID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    AppointID         INTEGER,
    ReservedUntil     DATETIME
);
CREATE INDEX IX_PXCurrentReservedApp_ClientID ON PXCurrentReservedApp (ClientID);

CREATE TABLE PXClientSearchResult (
    PXClientSearchResultID INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    SearchDate        DATETIME,
    SearchText        VARCHAR(100)
);
CREATE INDEX IX_PXClientSearchResult_ClientID ON PXClientSearchResult (ClientID);

CREATE TABLE PXExceptionLog (
    PXExceptionLogID  INTEGER PRIMARY KEY,
    ClientID          INTEGER NOT NULL,
    LogDate           DATETIME,
    Message           VARCHAR(255)
);
CREATE INDEX IX_PXExceptionLog_ClientID ON PXExceptionLog (ClientID);

------------------------------------------------------------------------------------------------
-- Audit trail
------------------------------------------------------------------------------------------------

CREATE TABLE Audit (
    AuditID           INTEGER PRIMARY KEY AUTOINCREMENT,
    AuditDateTime     DATETIME,
    UserName          VARCHAR(15),
    Action            VARCHAR(100),
    Comment           VARCHAR(7899),
    Report            INTEGER DEFAULT 0
);

------------------------------------------------------------------------------------------------
-- The utility's own merge ledger: what each merge changed, so that it can be undone. The
-- program creates these tables when they are missing.
------------------------------------------------------------------------------------------------

CREATE TABLE KolvixMerge (
    MergeID           INT NOT NULL PRIMARY KEY,
    AuditID           INTEGER NULL,
    MergedAt          DATETIME NULL,
    Workstation       NVARCHAR(64) NULL,
    FromClientID      INTEGER NOT NULL,
    ToClientID        INTEGER NOT NULL,
    FromName          NVARCHAR(100) NULL,
    ToName            NVARCHAR(100) NULL,
    RowsChanged       INTEGER NULL,
    MergeState        VARCHAR(10) NOT NULL,       -- started, merged, reverted, undone (merging: older)
    UndoneAt          DATETIME NULL,
    UndoAuditID       INTEGER NULL
);

CREATE TABLE KolvixMergeStep (
    MergeID           INTEGER NOT NULL,
    StepNo            INTEGER NOT NULL,
    CatalogueStep     INTEGER NOT NULL,
    TableName         NVARCHAR(128) NOT NULL,
    Operation         CHAR(1) NOT NULL,           -- U rows moved, D rows deleted, I row added
    ChangedColumns    NVARCHAR,
    OldValues         NVARCHAR(1000),
    NewValues         NVARCHAR(1000),
    KeyColumns        NVARCHAR,
    IntegerKey        INTEGER NOT NULL,
    PrimaryKey        INTEGER NOT NULL,
    RowsChanged       INTEGER NOT NULL,
    CheckColumns      NVARCHAR,                   -- the columns of the rows' check sums
    PRIMARY KEY (MergeID, StepNo)
);

CREATE TABLE KolvixMergeRow (
    MergeID           INTEGER NOT NULL,
    StepNo            INTEGER NOT NULL,
    KeyID             BIGINT,
    RowKey            NVARCHAR,
    RowData           NVARCHAR,
    RowCheck          INTEGER                     -- BINARY_CHECKSUM of the row as the merge left it
);
CREATE INDEX IX_KolvixMergeRow ON KolvixMergeRow (MergeID, StepNo);

-- Pairs of clients marked as two different people (twins, a parent and a child of one name): the
-- duplicate finder leaves them out and a merge of the two is refused. The smaller client id
-- first. The program creates this table the first time a pair is marked.
CREATE TABLE KolvixDistinctPair (
    FirstClientID     INTEGER NOT NULL,
    SecondClientID    INTEGER NOT NULL,
    MarkedAt          DATETIME NULL,
    Workstation       NVARCHAR(64) NULL,
    UserName          NVARCHAR(128) NULL,         -- the operating-system user who marked the pair
    Note              NVARCHAR(255) NULL,
    CONSTRAINT PK_KolvixDistinctPair PRIMARY KEY (FirstClientID, SecondClientID),
    CONSTRAINT CK_KolvixDistinctPair CHECK (FirstClientID < SecondClientID)
);

------------------------------------------------------------------------------------------------
-- Patient search views
------------------------------------------------------------------------------------------------

-- One row per client, with its primary account (account 0) where it has one; the claim number
-- is that account's, as PatientSearchBPAY shows each account's.
CREATE VIEW PatientSearch AS
SELECT c.ClientID,
       c.Surname,
       c.Name,
       c.PreferredName,
       NULLIF(TRIM(IFNULL(p.Title || ' ', '') || IFNULL(p.Name || ' ', '') || IFNULL(p.Surname, '')), '') COLLATE NOCASE AS Practitioner,
       c.SearchAddress AS Address,
       c.HomePhone,
       c.DateOfBirth,
       c.FileNo,
       c.Occupation,
       c.Email,
       c.Mobile,
       c.WorkPhone,
       a.ClaimNumber,
       a.AccountID,
       c.IsAGroup,
       c.Active,
       c.BPayRefNo,
       a.ShortDescription
FROM Client c
LEFT JOIN Account a ON a.ClientID = c.ClientID AND a.AccountID = 0
LEFT JOIN Practitioner p ON p.PractitionerID = c.PractitionerID;

-- One row per account, with the account's own claim number and BPAY reference.
CREATE VIEW PatientSearchBPAY AS
SELECT c.ClientID,
       c.Surname,
       c.Name,
       c.PreferredName,
       NULLIF(TRIM(IFNULL(p.Title || ' ', '') || IFNULL(p.Name || ' ', '') || IFNULL(p.Surname, '')), '') COLLATE NOCASE AS Practitioner,
       c.SearchAddress AS Address,
       c.HomePhone,
       c.DateOfBirth,
       c.FileNo,
       c.Occupation,
       c.Email,
       c.Mobile,
       c.WorkPhone,
       a.ClaimNumber,
       a.AccountID,
       c.IsAGroup,
       c.Active,
       a.BPayRefNo,
       a.ShortDescription
FROM Account a
JOIN Client c ON c.ClientID = a.ClientID
LEFT JOIN Practitioner p ON p.PractitionerID = c.PractitionerID;

RELEASE kolvix_schema;
