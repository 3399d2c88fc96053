function test_rounding_floor()
  % A convergence tolerance below what rounding lets the residual of the
  % obstacle problem (60-by-60 grid) reach: lcpgate ends promptly with
  % status 0 and the exit "no further progress", and the point it returns
  % still solves the problem to the accuracy the arithmetic allows. The
  % default tolerance solves it.
  [M, q, lb, ub] = obstacle_lcp(60);
  n = rows(M);
  cases = {'', 1; 'convergence_tolerance 1e-15', 0};
  for k = 1:rows(cases)
    if isempty(cases{k, 1})
      write_options();
      label = 'default tolerance';
    else
      write_options(cases{k, 1});
      label = cases{k, 1};
    end
    z = zeros(n, 1);
    [status, time] = lcpgate(n, nnz(M), z, lb, ub, M, q);
    expect(status == cases{k, 2}, '%s: status %g', label, status);
    check_oracle(z, lb, ub, M * z + q, 1e-6, label);
    log = log_text();
    if status == 0
      expect_log('EXIT - no further progress');
    end
    % No restart and no long run of iterations.
    expect_log(sprintf('Restarts. . . . . . . . 0\n'));
    major = sscanf(log(strfind(log, 'Major Iterations. . . . ') + 24:end), '%d', 1);
    expect(major <= 12, '%s: %d major iterations', label, major);
  end
  write_options();
end
