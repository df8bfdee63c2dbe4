# filled in with the Qt front end
