-- Kolvix Utility: the practice-management database objects that the utility reads and writes,
-- for Microsoft SQL Server (2008 or later). Run it with sqlcmd or Management Studio in an empty
-- database; batches are separated by GO.
--
-- The same objects exist in schema/sqlite/schema.sql for the embedded engine. Conventions here:
--   * ids are INT; surrogate keys are IDENTITY columns; Client, Contact and the reference tables
--     take the ids that the practice software hands out;
--   * booleans are BIT, except Client.Active, which is 'T' or 'F';
--   * every column that holds a client id has an index of its own (the merge rewrites them all,
--     the statistics count by them); account-keyed tables have one on (ClientID, AccountID).

SET ANSI_NULLS ON;
SET QUOTED_IDENTIFIER ON;
SET ANSI_PADDING ON;
SET NOCOUNT ON;
GO

------------------------------------------------------------------------------------------------
-- Practice reference data
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.SystemData (
    SystemDataID      INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_SystemData PRIMARY KEY,
    PracticeName      VARCHAR(60)  NULL,
    UseFileNo         BIT          NULL CONSTRAINT DF_SystemData_UseFileNo DEFAULT (0),
    DatabaseVersion   VARCHAR(20)  NULL,
    LastModified      DATETIME     NULL
);

CREATE TABLE dbo.Practitioner (
    PractitionerID    INT          NOT NULL CONSTRAINT PK_Practitioner PRIMARY KEY,
    Title             VARCHAR(10)  NULL,
    Name              VARCHAR(30)  NULL,
    Surname           VARCHAR(40)  NULL,
    ProviderNumber    VARCHAR(10)  NULL,
    Active            CHAR(1)      NULL CONSTRAINT DF_Practitioner_Active DEFAULT ('T')
);

CREATE TABLE dbo.Category (
    CategoryID        INT          NOT NULL CONSTRAINT PK_Category PRIMARY KEY,
    Description       VARCHAR(40)  NULL
);

-- A relation in which a contact stands to a client. MergeID names the relation that this one
-- counts as when contacts are compared (Mother and Father both count as Parent); a relation
-- that stands for itself has its own id there.
CREATE TABLE dbo.Relation (
    RelationID        INT          NOT NULL CONSTRAINT PK_Relation PRIMARY KEY,
    Description       VARCHAR(30)  NULL,
    MergeID           INT          NULL
);
GO

------------------------------------------------------------------------------------------------
-- Clients and accounts
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.Client (
    ClientID          INT          NOT NULL CONSTRAINT PK_Client PRIMARY KEY,
    Title             VARCHAR(10)  NULL,
    Name              VARCHAR(20)  NULL,
    Surname           VARCHAR(40)  NULL,
    PreferredName     VARCHAR(20)  NULL,
    Active            CHAR(1)      NULL CONSTRAINT DF_Client_Active DEFAULT ('T'),
    Sex               CHAR(1)      NULL,
    DateOfBirth       DATETIME     NULL,
    Address           VARCHAR(80)  NULL,
    Suburb            VARCHAR(30)  NULL,
    State             VARCHAR(3)   NULL,
    PostCode          VARCHAR(6)   NULL,
    HomePhone         VARCHAR(15)  NULL,
    WorkPhone         VARCHAR(15)  NULL,
    Mobile            VARCHAR(15)  NULL,
    Email             VARCHAR(50)  NULL,
    Occupation        VARCHAR(30)  NULL,
    FileNo            VARCHAR(10)  NULL,
    ClaimNumber       VARCHAR(10)  NULL,
    BPayRefNo         VARCHAR(10)  NULL,
    MedicareNo        VARCHAR(12)  NULL,
    PractitionerID    INT          NULL,
    ReferredByID      INT          NULL,
    ReferredByID2     INT          NULL,
    IsAGroup          BIT          NULL CONSTRAINT DF_Client_IsAGroup DEFAULT (0),
    PXAccess          BIT          NULL CONSTRAINT DF_Client_PXAccess DEFAULT (0),
    PXVerified        BIT          NULL CONSTRAINT DF_Client_PXVerified DEFAULT (0),
    PXEmail           VARCHAR(50)  NULL,
    PendingClient     BIT          NULL CONSTRAINT DF_Client_PendingClient DEFAULT (0),
    CreatedDate       DATETIME     NULL,
    Notes             VARCHAR(255) NULL
);
CREATE INDEX IX_Client_ReferredByID  ON dbo.Client (ReferredByID);
CREATE INDEX IX_Client_ReferredByID2 ON dbo.Client (ReferredByID2);
-- The patient search: an index that begins with a searched column serves its prefix search and
-- its sort order.
CREATE INDEX IX_Client_Surname       ON dbo.Client (Surname, Name);
CREATE INDEX IX_Client_Name          ON dbo.Client (Name, Surname);
CREATE INDEX IX_Client_PreferredName ON dbo.Client (PreferredName);
CREATE INDEX IX_Client_HomePhone     ON dbo.Client (HomePhone);
CREATE INDEX IX_Client_WorkPhone     ON dbo.Client (WorkPhone);
CREATE INDEX IX_Client_FileNo        ON dbo.Client (FileNo);
CREATE INDEX IX_Client_Occupation    ON dbo.Client (Occupation, Surname, Name);
CREATE INDEX IX_Client_Email         ON dbo.Client (Email);

-- The account copy of a merge rests on this column order: the client id first, the account id
-- second, the account's name sixth. Keep it.
CREATE TABLE dbo.Account (
    ClientID          INT           NOT NULL,
    AccountID         INT           NOT NULL,
    GroupID           INT           NULL,
    ClaimNumber       VARCHAR(10)   NULL,
    BPayRefNo         VARCHAR(10)   NULL,
    ShortDescription  VARCHAR(16)   NULL,
    Description       VARCHAR(60)   NULL,
    Balance           DECIMAL(12,2) NULL CONSTRAINT DF_Account_Balance DEFAULT (0),
    IsAGroup          BIT           NULL CONSTRAINT DF_Account_IsAGroup DEFAULT (0),
    Active            BIT           NULL CONSTRAINT DF_Account_Active DEFAULT (1),
    CreatedDate       DATETIME      NULL,
    CONSTRAINT PK_Account PRIMARY KEY (ClientID, AccountID)
);
CREATE INDEX IX_Account_GroupID     ON dbo.Account (GroupID);
CREATE INDEX IX_Account_ClaimNumber ON dbo.Account (ClaimNumber);
CREATE INDEX IX_Account_BPayRefNo   ON dbo.Account (BPayRefNo);
GO

------------------------------------------------------------------------------------------------
-- Account-keyed tables
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.Trans (
    TransID           INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Trans PRIMARY KEY,
    ClientID          INT           NOT NULL,
    AccountID         INT           NOT NULL CONSTRAINT DF_Trans_AccountID DEFAULT (0),
    TransDate         DATETIME      NULL,
    TransType         VARCHAR(3)    NULL,
    InvoiceNo         INT           NULL,
    ItemCode          VARCHAR(10)   NULL,
    Description       VARCHAR(60)   NULL,
    Amount            DECIMAL(12,2) NULL CONSTRAINT DF_Trans_Amount DEFAULT (0),
    GST               DECIMAL(12,2) NULL CONSTRAINT DF_Trans_GST DEFAULT (0),
    PractitionerID    INT           NULL
);
CREATE INDEX IX_Trans_Client ON dbo.Trans (ClientID, AccountID);

CREATE TABLE dbo.HICAPSDetail (
    HICAPSDetailID    INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_HICAPSDetail PRIMARY KEY,
    ClientID          INT           NOT NULL,
    AccountID         INT           NOT NULL CONSTRAINT DF_HICAPSDetail_AccountID DEFAULT (0),
    TransID           INT           NULL,
    ClaimDate         DATETIME      NULL,
    ItemNumber        VARCHAR(10)   NULL,
    ClaimAmount       DECIMAL(12,2) NULL,
    BenefitAmount     DECIMAL(12,2) NULL,
    ResponseCode      VARCHAR(2)    NULL
);
CREATE INDEX IX_HICAPSDetail_Client ON dbo.HICAPSDetail (ClientID, AccountID);

CREATE TABLE dbo.NewStatement (
    NewStatementID    INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_NewStatement PRIMARY KEY,
    ClientID          INT           NOT NULL,
    AccountID         INT           NOT NULL CONSTRAINT DF_NewStatement_AccountID DEFAULT (0),
    StatementDate     DATETIME      NULL,
    OpeningBalance    DECIMAL(12,2) NULL,
    ClosingBalance    DECIMAL(12,2) NULL,
    Printed           BIT           NULL CONSTRAINT DF_NewStatement_Printed DEFAULT (0)
);
CREATE INDEX IX_NewStatement_Client ON dbo.NewStatement (ClientID, AccountID);

CREATE TABLE dbo.StatementActivityLog (
    StatementActivityLogID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_StatementActivityLog PRIMARY KEY,
    ClientID          INT          NOT NULL,
    AccountID         INT          NOT NULL CONSTRAINT DF_StatementActivityLog_AccountID DEFAULT (0),
    NewStatementID    INT          NULL,
    ActivityDate      DATETIME     NULL,
    Activity          VARCHAR(50)  NULL,
    UserName          VARCHAR(15)  NULL
);
CREATE INDEX IX_StatementActivityLog_Client ON dbo.StatementActivityLog (ClientID, AccountID);

CREATE TABLE dbo.InvoiceActivityLog (
    InvoiceActivityLogID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_InvoiceActivityLog PRIMARY KEY,
    ClientID          INT          NOT NULL,
    AccountID         INT          NOT NULL CONSTRAINT DF_InvoiceActivityLog_AccountID DEFAULT (0),
    TransID           INT          NULL,
    ActivityDate      DATETIME     NULL,
    Activity          VARCHAR(50)  NULL,
    UserName          VARCHAR(15)  NULL
);
CREATE INDEX IX_InvoiceActivityLog_Client ON dbo.InvoiceActivityLog (ClientID, AccountID);
GO

------------------------------------------------------------------------------------------------
-- Client-keyed tables
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.TyroTrans (
    TyroTransID       INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_TyroTrans PRIMARY KEY,
    ClientID          INT           NOT NULL,
    TransactionDate   DATETIME      NULL,
    Amount            DECIMAL(12,2) NULL,
    TerminalID        VARCHAR(20)   NULL,
    TransactionRef    VARCHAR(30)   NULL,
    ResultCode        VARCHAR(10)   NULL
);
CREATE INDEX IX_TyroTrans_ClientID ON dbo.TyroTrans (ClientID);

CREATE TABLE dbo.Appoint (
    AppointID         INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Appoint PRIMARY KEY,
    ClientID          INT          NOT NULL,
    PractitionerID    INT          NULL,
    StartTime         DATETIME     NULL,
    Duration          INT          NULL,
    Status            VARCHAR(10)  NULL,
    Note              VARCHAR(255) NULL
);
CREATE INDEX IX_Appoint_ClientID ON dbo.Appoint (ClientID);

CREATE TABLE dbo.ContactAttachment (
    ContactAttachmentID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_ContactAttachment PRIMARY KEY,
    ClientID          INT          NOT NULL,
    ContactID         INT          NULL,
    FileName          VARCHAR(260) NULL,
    Description       VARCHAR(100) NULL,
    AddedDate         DATETIME     NULL
);
CREATE INDEX IX_ContactAttachment_ClientID ON dbo.ContactAttachment (ClientID);

CREATE TABLE dbo.Attachments (
    AttachmentID      INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Attachments PRIMARY KEY,
    ClientID          INT          NOT NULL,
    FileName          VARCHAR(260) NULL,
    Description       VARCHAR(100) NULL,
    AddedDate         DATETIME     NULL
);
CREATE INDEX IX_Attachments_ClientID ON dbo.Attachments (ClientID);

CREATE TABLE dbo.ClinicalNotes (
    ClinicalNoteID    INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_ClinicalNotes PRIMARY KEY,
    ClientID          INT          NOT NULL,
    PractitionerID    INT          NULL,
    NoteDate          DATETIME     NULL,
    Note              VARCHAR(MAX) NULL
);
CREATE INDEX IX_ClinicalNotes_ClientID ON dbo.ClinicalNotes (ClientID);

CREATE TABLE dbo.Future (
    FutureID          INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Future PRIMARY KEY,
    ClientID          INT           NOT NULL,
    DueDate           DATETIME      NULL,
    ItemCode          VARCHAR(10)   NULL,
    Description       VARCHAR(60)   NULL,
    Amount            DECIMAL(12,2) NULL
);
CREATE INDEX IX_Future_ClientID ON dbo.Future (ClientID);

CREATE TABLE dbo.Recalls (
    RecallID          INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Recalls PRIMARY KEY,
    ClientID          INT          NOT NULL,
    PractitionerID    INT          NULL,
    RecallDate        DATETIME     NULL,
    Reason            VARCHAR(60)  NULL,
    Completed         BIT          NULL CONSTRAINT DF_Recalls_Completed DEFAULT (0)
);
CREATE INDEX IX_Recalls_ClientID ON dbo.Recalls (ClientID);

CREATE TABLE dbo.Referral (
    ReferralID        INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Referral PRIMARY KEY,
    ClientID          INT          NOT NULL,
    ContactID         INT          NULL,
    ReferralDate      DATETIME     NULL,
    ExpiryDate        DATETIME     NULL,
    Notes             VARCHAR(255) NULL
);
CREATE INDEX IX_Referral_ClientID ON dbo.Referral (ClientID);

CREATE TABLE dbo.GroupAppDetail (
    GroupAppDetailID  INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_GroupAppDetail PRIMARY KEY,
    GroupAppID        INT          NULL,
    ClientID          INT          NOT NULL,
    Attended          BIT          NULL CONSTRAINT DF_GroupAppDetail_Attended DEFAULT (0)
);
CREATE INDEX IX_GroupAppDetail_ClientID ON dbo.GroupAppDetail (ClientID);

CREATE TABLE dbo.AppChange (
    AppChangeID       INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_AppChange PRIMARY KEY,
    AppointID         INT          NULL,
    ClientID          INT          NOT NULL,
    ChangeDate        DATETIME     NULL,
    ChangeType        VARCHAR(20)  NULL,
    UserName          VARCHAR(15)  NULL
);
CREATE INDEX IX_AppChange_ClientID ON dbo.AppChange (ClientID);

CREATE TABLE dbo.SMSReply (
    SMSReplyID        INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_SMSReply PRIMARY KEY,
    ClientID          INT          NOT NULL,
    ReceivedDate      DATETIME     NULL,
    FromNumber        VARCHAR(15)  NULL,
    Message           VARCHAR(160) NULL
);
CREATE INDEX IX_SMSReply_ClientID ON dbo.SMSReply (ClientID);

CREATE TABLE dbo.Documents (
    DocumentID        INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Documents PRIMARY KEY,
    ClientID          INT          NOT NULL,
    Title             VARCHAR(100) NULL,
    FileName          VARCHAR(260) NULL,
    CreatedDate       DATETIME     NULL
);
CREATE INDEX IX_Documents_ClientID ON dbo.Documents (ClientID);

CREATE TABLE dbo.Quotes (
    QuoteID           INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Quotes PRIMARY KEY,
    ClientID          INT           NOT NULL,
    QuoteDate         DATETIME      NULL,
    Description       VARCHAR(100)  NULL,
    Amount            DECIMAL(12,2) NULL
);
CREATE INDEX IX_Quotes_ClientID ON dbo.Quotes (ClientID);

CREATE TABLE dbo.ActEvents (
    ActEventID        INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_ActEvents PRIMARY KEY,
    ClientID          INT          NOT NULL,
    EventDate         DATETIME     NULL,
    EventType         VARCHAR(20)  NULL,
    Description       VARCHAR(100) NULL
);
CREATE INDEX IX_ActEvents_ClientID ON dbo.ActEvents (ClientID);

CREATE TABLE dbo.XRayFolder (
    XRayFolderID      INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_XRayFolder PRIMARY KEY,
    ClientID          INT          NOT NULL,
    FolderName        VARCHAR(60)  NULL,
    CreatedDate       DATETIME     NULL
);
CREATE INDEX IX_XRayFolder_ClientID ON dbo.XRayFolder (ClientID);

CREATE TABLE dbo.XRayReport (
    XRayReportID      INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_XRayReport PRIMARY KEY,
    ClientID          INT          NOT NULL,
    ReportDate        DATETIME     NULL,
    Report            VARCHAR(MAX) NULL
);
CREATE INDEX IX_XRayReport_ClientID ON dbo.XRayReport (ClientID);

CREATE TABLE dbo.XRay (
    XRayID            INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_XRay PRIMARY KEY,
    ClientID          INT          NOT NULL,
    XRayFolderID      INT          NULL,
    TakenDate         DATETIME     NULL,
    Region            VARCHAR(30)  NULL,
    FileName          VARCHAR(260) NULL
);
CREATE INDEX IX_XRay_ClientID ON dbo.XRay (ClientID);

CREATE TABLE dbo.SalesEvents (
    SalesEventID      INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_SalesEvents PRIMARY KEY,
    ClientID          INT           NOT NULL,
    EventDate         DATETIME      NULL,
    ProductCode       VARCHAR(20)   NULL,
    Quantity          INT           NULL,
    Amount            DECIMAL(12,2) NULL
);
CREATE INDEX IX_SalesEvents_ClientID ON dbo.SalesEvents (ClientID);

CREATE TABLE dbo.WaitingList (
    WaitingListID     INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_WaitingList PRIMARY KEY,
    ClientID          INT          NOT NULL,
    PractitionerID    INT          NULL,
    AddedDate         DATETIME     NULL,
    Priority          INT          NULL,
    Notes             VARCHAR(255) NULL
);
CREATE INDEX IX_WaitingList_ClientID ON dbo.WaitingList (ClientID);

CREATE TABLE dbo.ClassTypeClient (
    ClassTypeClientID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_ClassTypeClient PRIMARY KEY,
    ClassTypeID       INT          NULL,
    ClientID          INT          NOT NULL,
    JoinedDate        DATETIME     NULL
);
CREATE INDEX IX_ClassTypeClient_ClientID ON dbo.ClassTypeClient (ClientID);

CREATE TABLE dbo.SMSMsg (
    SMSMsgID          INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_SMSMsg PRIMARY KEY,
    ClientID          INT          NOT NULL,
    SentDate          DATETIME     NULL,
    ToNumber          VARCHAR(15)  NULL,
    Message           VARCHAR(160) NULL,
    Status            VARCHAR(10)  NULL
);
CREATE INDEX IX_SMSMsg_ClientID ON dbo.SMSMsg (ClientID);

CREATE TABLE dbo.RecallRecurrence (
    RecallRecurrenceID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_RecallRecurrence PRIMARY KEY,
    ClientID          INT          NOT NULL,
    IntervalMonths    INT          NULL,
    NextDate          DATETIME     NULL,
    Reason            VARCHAR(60)  NULL
);
CREATE INDEX IX_RecallRecurrence_ClientID ON dbo.RecallRecurrence (ClientID);

CREATE TABLE dbo.PatCat (
    PatCatID          INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PatCat PRIMARY KEY,
    ClientID          INT          NOT NULL,
    CategoryID        INT          NOT NULL,
    AddedDate         DATETIME     NULL
);
CREATE INDEX IX_PatCat_ClientID ON dbo.PatCat (ClientID, CategoryID);
GO

------------------------------------------------------------------------------------------------
-- Contacts
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.Contact (
    ContactID         INT          NOT NULL CONSTRAINT PK_Contact PRIMARY KEY,
    Title             VARCHAR(10)  NULL,
    Name              VARCHAR(30)  NULL,
    Surname           VARCHAR(40)  NULL,
    Company           VARCHAR(60)  NULL,
    ContactType       VARCHAR(20)  NULL,
    Phone             VARCHAR(15)  NULL,
    Email             VARCHAR(50)  NULL
);

-- A contact of a client, in a relation. ContactType, when set, is the kind of contact for this
-- client and wins over the contact's own.
CREATE TABLE dbo.ClientContact (
    ClientContactID   INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_ClientContact PRIMARY KEY,
    ClientID          INT          NOT NULL,
    ContactID         INT          NOT NULL,
    RelationID        INT          NULL,
    ContactType       VARCHAR(20)  NULL,
    IsPrimary         BIT          NULL CONSTRAINT DF_ClientContact_IsPrimary DEFAULT (0),
    Notes             VARCHAR(255) NULL
);
CREATE INDEX IX_ClientContact_ClientID  ON dbo.ClientContact (ClientID);
CREATE INDEX IX_ClientContact_ContactID ON dbo.ClientContact (ContactID);
GO

CREATE VIEW dbo.ClientContacts
AS
SELECT cc.ClientContactID,
       cc.ClientID,
       cc.ContactID,
       cc.RelationID,
       CAST(COALESCE(NULLIF(LTRIM(RTRIM(ISNULL(c.Name, '') + ' ' + ISNULL(c.Surname, ''))), ''), c.Company)
            AS VARCHAR(71)) AS FullNameNoTitle,
       COALESCE(cc.ContactType, c.ContactType) AS ContactType,
       COALESCE(r.MergeID, cc.RelationID) AS RelationMergeID,
       cc.IsPrimary
FROM dbo.ClientContact cc
LEFT JOIN dbo.Contact c ON c.ContactID = cc.ContactID
LEFT JOIN dbo.Relation r ON r.RelationID = cc.RelationID;
GO

------------------------------------------------------------------------------------------------
-- WPX, the online patient-access feature
------------------------------------------------------------------------------------------------

-- The client ClientID is linked to the group client GroupID.
CREATE TABLE dbo.PXClientLink (
    PXClientLinkID    INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXClientLink PRIMARY KEY,
    ClientID          INT          NOT NULL,
    GroupID           INT          NOT NULL,
    LinkedDate        DATETIME     NULL
);
CREATE INDEX IX_PXClientLink_ClientID ON dbo.PXClientLink (ClientID);
CREATE INDEX IX_PXClientLink_GroupID  ON dbo.PXClientLink (GroupID);

-- A registration waiting to be processed: GuestClientID is the pending client, ParentID the
-- client who registered it, or null.
CREATE TABLE dbo.PXPendingClient (
    PendingClientID   INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXPendingClient PRIMARY KEY,
    GuestClientID     INT          NULL,
    ParentID          INT          NULL,
    RequestDate       DATETIME     NULL,
    Email             VARCHAR(50)  NULL,
    Status            VARCHAR(10)  NULL
);
CREATE INDEX IX_PXPendingClient_GuestClientID ON dbo.PXPendingClient (GuestClientID);
CREATE INDEX IX_PXPendingClient_ParentID      ON dbo.PXPendingClient (ParentID);

CREATE TABLE dbo.PXClientForgotPassword (
    PXClientForgotPasswordID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXClientForgotPassword PRIMARY KEY,
    ClientID          INT          NOT NULL,
    Token             VARCHAR(40)  NULL,
    RequestDate       DATETIME     NULL,
    ExpiryDate        DATETIME     NULL,
    Activated         BIT          NULL CONSTRAINT DF_PXClientForgotPassword_Activated DEFAULT (0)
);
CREATE INDEX IX_PXClientForgotPassword_ClientID ON dbo.PXClientForgotPassword (ClientID);

CREATE TABLE dbo.PXClientPracPermissions (
    PXClientPracPermissionsID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXClientPracPermissions PRIMARY KEY,
    ClientID          INT          NOT NULL,
    AllowPracID       INT          NULL,
    AllowPGroupID     INT          NULL
);
CREATE INDEX IX_PXClientPracPermissions_ClientID ON dbo.PXClientPracPermissions (ClientID);

CREATE TABLE dbo.PXAppRequest (
    PXAppRequestID    INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXAppRequest PRIMARY KEY,
    ClientID          INT          NOT NULL,
    PractitionerID    INT          NULL,
    RequestedTime     DATETIME     NULL,
    Status            VARCHAR(10)  NULL
);
CREATE INDEX IX_PXAppRequest_ClientID ON dbo.PXAppRequest (ClientID);

CREATE TABLE dbo.PXCurrentReservedApp (
    PXCurrentReservedAppID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXCurrentReservedApp PRIMARY KEY,
    ClientID          INT          NOT NULL,
    AppointID         INT          NULL,
    ReservedUntil     DATETIME     NULL
);
CREATE INDEX IX_PXCurrentReservedApp_ClientID ON dbo.PXCurrentReservedApp (ClientID);

CREATE TABLE dbo.PXClientSearchResult (
    PXClientSearchResultID INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXClientSearchResult PRIMARY KEY,
    ClientID          INT          NOT NULL,
    SearchDate        DATETIME     NULL,
    SearchText        VARCHAR(100) NULL
);
CREATE INDEX IX_PXClientSearchResult_ClientID ON dbo.PXClientSearchResult (ClientID);

CREATE TABLE dbo.PXExceptionLog (
    PXExceptionLogID  INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_PXExceptionLog PRIMARY KEY,
    ClientID          INT          NOT NULL,
    LogDate           DATETIME     NULL,
    Message           VARCHAR(255) NULL
);
CREATE INDEX IX_PXExceptionLog_ClientID ON dbo.PXExceptionLog (ClientID);
GO

------------------------------------------------------------------------------------------------
-- Audit trail
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.Audit (
    AuditID           INT IDENTITY(1,1) NOT NULL CONSTRAINT PK_Audit PRIMARY KEY,
    AuditDateTime     DATETIME      NULL,
    UserName          VARCHAR(15)   NULL,
    Action            VARCHAR(100)  NULL,
    Comment           VARCHAR(7899) NULL,
    Report            BIT           NULL CONSTRAINT DF_Audit_Report DEFAULT (0)
);
GO

------------------------------------------------------------------------------------------------
-- The utility's own merge ledger: what each merge changed, so that it can be undone. The
-- program creates these tables when they are missing.
------------------------------------------------------------------------------------------------

CREATE TABLE dbo.KolvixMerge (
    MergeID           INT           NOT NULL CONSTRAINT PK_KolvixMerge PRIMARY KEY,
    AuditID           INT           NULL,
    MergedAt          DATETIME      NULL,
    Workstation       NVARCHAR(64)  NULL,
    FromClientID      INT           NOT NULL,
    ToClientID        INT           NOT NULL,
    FromName          NVARCHAR(100) NULL,
    ToName            NVARCHAR(100) NULL,
    RowsChanged       INT           NULL,
    MergeState        VARCHAR(10)   NOT NULL,     -- started, merged, reverted, undone (merging: older)
    UndoneAt          DATETIME      NULL,
    UndoAuditID       INT           NULL
);

CREATE TABLE dbo.KolvixMergeStep (
    MergeID           INT            NOT NULL,
    StepNo            INT            NOT NULL,
    CatalogueStep     INT            NOT NULL,
    TableName         NVARCHAR(128)  NOT NULL,
    Operation         CHAR(1)        NOT NULL,    -- U rows moved, D rows deleted, I row added
    ChangedColumns    NVARCHAR(MAX)  NULL,
    OldValues         NVARCHAR(1000) NULL,
    NewValues         NVARCHAR(1000) NULL,
    KeyColumns        NVARCHAR(MAX)  NULL,
    IntegerKey        INT            NOT NULL,
    PrimaryKey        INT            NOT NULL,
    RowsChanged       INT            NOT NULL,
    CheckColumns      NVARCHAR(MAX)  NULL,         -- the columns of the rows' check sums
    CONSTRAINT PK_KolvixMergeStep PRIMARY KEY (MergeID, StepNo)
);

CREATE TABLE dbo.KolvixMergeRow (
    MergeID           INT           NOT NULL,
    StepNo            INT           NOT NULL,
    KeyID             BIGINT        NULL,
    RowKey            NVARCHAR(MAX) NULL,
    RowData           NVARCHAR(MAX) NULL,
    RowCheck          INT           NULL           -- BINARY_CHECKSUM of the row as the merge left it
);
CREATE INDEX IX_KolvixMergeRow ON dbo.KolvixMergeRow (MergeID, StepNo);

-- Pairs of clients marked as two different people (twins, a parent and a child of one name): the
-- duplicate finder leaves them out and a merge of the two is refused. The smaller client id
-- first. The program creates this table the first time a pair is marked.
CREATE TABLE dbo.KolvixDistinctPair (
    FirstClientID     INT           NOT NULL,
    SecondClientID    INT           NOT NULL,
    MarkedAt          DATETIME      NULL,
    Workstation       NVARCHAR(64)  NULL,
    UserName          NVARCHAR(128) NULL,         -- the operating-system user who marked the pair
    Note              NVARCHAR(255) NULL,
    CONSTRAINT PK_KolvixDistinctPair PRIMARY KEY (FirstClientID, SecondClientID),
    CONSTRAINT CK_KolvixDistinctPair CHECK (FirstClientID < SecondClientID)
);
GO

------------------------------------------------------------------------------------------------
-- The digits of a text: '04 12-345 678' gives '0412345678'; null gives null.
------------------------------------------------------------------------------------------------

CREATE FUNCTION dbo.onlyNumericChars (@s VARCHAR(8000))
RETURNS VARCHAR(8000)
AS
BEGIN
    IF @s IS NULL
        RETURN NULL;

    DECLARE @result VARCHAR(8000);
    DECLARE @length INT;
    DECLARE @i INT;
    DECLARE @c CHAR(1);

    SET @result = '';
    SET @length = DATALENGTH(@s);
    SET @i = 1;
    WHILE @i <= @length
    BEGIN
        SET @c = SUBSTRING(@s, @i, 1);
        -- By code, not by LIKE '[0-9]': under some collations a range also takes in
        -- superscript digits.
        IF ASCII(@c) BETWEEN 48 AND 57
            SET @result = @result + @c;
        SET @i = @i + 1;
    END;

    RETURN @result;
END;
GO

------------------------------------------------------------------------------------------------
-- Patient search views
------------------------------------------------------------------------------------------------

-- One row per client, with its primary account (account 0) where it has one; the claim number
-- is that account's, as PatientSearchBPAY shows each account's.
CREATE VIEW dbo.PatientSearch
AS
SELECT c.ClientID,
       c.Surname,
       c.Name,
       c.PreferredName,
       CAST(NULLIF(LTRIM(RTRIM(ISNULL(p.Title + ' ', '') + ISNULL(p.Name + ' ', '') + ISNULL(p.Surname, ''))), '')
            AS VARCHAR(83)) AS Practitioner,
       CAST(NULLIF(LTRIM(RTRIM(ISNULL(c.Address + ' ', '') + ISNULL(c.Suburb + ' ', '') + ISNULL(c.State + ' ', '')
                               + ISNULL(c.PostCode, ''))), '')
            AS VARCHAR(122)) AS Address,
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
FROM dbo.Client c
LEFT JOIN dbo.Account a ON a.ClientID = c.ClientID AND a.AccountID = 0
LEFT JOIN dbo.Practitioner p ON p.PractitionerID = c.PractitionerID;
GO

-- One row per account, with the account's own claim number and BPAY reference.
CREATE VIEW dbo.PatientSearchBPAY
AS
SELECT c.ClientID,
       c.Surname,
       c.Name,
       c.PreferredName,
       CAST(NULLIF(LTRIM(RTRIM(ISNULL(p.Title + ' ', '') + ISNULL(p.Name + ' ', '') + ISNULL(p.Surname, ''))), '')
            AS VARCHAR(83)) AS Practitioner,
       CAST(NULLIF(LTRIM(RTRIM(ISNULL(c.Address + ' ', '') + ISNULL(c.Suburb + ' ', '') + ISNULL(c.State + ' ', '')
                               + ISNULL(c.PostCode, ''))), '')
            AS VARCHAR(122)) AS Address,
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
FROM dbo.Account a
JOIN dbo.Client c ON c.ClientID = a.ClientID
LEFT JOIN dbo.Practitioner p ON p.PractitionerID = c.PractitionerID;
GO
